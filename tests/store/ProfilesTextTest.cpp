// The text of profiles.json: written directly and read one profile at a time,
// always agreeing with the JSON documents of the same values.
#include "StoreFixture.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <random>

using namespace velmor;
using namespace velmor::test;

namespace {

// Texts that need escapes, numbers at the edges of their forms, empty and
// absent optional parts; the recorded file below holds every member.
PersistedProfiles representativeDocument()
{
    const QString awkward = QStringLiteral("Größe → \"quoted\" \\\" / \b\f\r\t\n\x01 \U0001D11E") + QChar(0xD800);
    RadiologyTool tool = makeTool(awkward);
    tool.customIcon = "";
    tool.repeatSpeed = 0.123456789;
    tool.shortcut = KeyboardShortcut{65535, "→", KeyboardShortcut::Modifiers((qint64(1) << 40) | 9)};
    tool.toggleShortcuts = QList<KeyboardShortcut>{};
    RadiologyTool tiny = makeTool("Pan");
    tiny.repeatSpeed = 1e-7;
    const PacsProfile lit{QUuid::createUuid(), awkward, {tool, tiny}, ""};
    const PacsProfile plain{QUuid::createUuid(), "", {}, std::nullopt};
    const UserProfile user{QUuid::createUuid(), awkward, lit.id, {makeMapping("é", awkward, tool.id)}, "", "#F00"};
    const UserProfile empty{QUuid::createUuid(), "", plain.id, {}, std::nullopt, std::nullopt};
    PersistedProfiles document{6, lit.id, empty.id, {lit, plain}, {user, empty}};
    document.removedBuiltIns = BuiltInRemovals::fromJson(QJsonObject{
        {"pacsProfiles", QJsonArray{"Intelerad", awkward}},
        {"tools", QJsonArray{QJsonObject{{"name", awkward}, {"pacsProfileId", json::uuidText(lit.id)}},
                             QJsonObject{{"name", "Pan"}, {"pacsProfileId", json::uuidText(plain.id)}}}}});
    return document;
}

} // namespace

TEST(ProfilesText, WriterGivesTheBytesOfTheIndentedJsonDocument)
{
    const PersistedProfiles document = representativeDocument();
    const QByteArray expected = QJsonDocument(document.toJson()).toJson(QJsonDocument::Indented);
    EXPECT_EQ(document.encode(), expected);
    EXPECT_EQ(document.encode(expected.size() * 2), expected);
    EXPECT_EQ(PersistedProfiles{}.encode(), json::encode(PersistedProfiles{}.toJson()));

    const QByteArray recorded = readFile(dataPath("profiles-v6.json"));
    EXPECT_EQ(PersistedProfiles::fromJson(json::parse(recorded)).encode(), recorded);
}

TEST(ProfilesText, ReadInPartsAgreesWithTheWholeDocument)
{
    const QByteArray pretty = representativeDocument().encode();
    const QByteArray compact = QJsonDocument(json::parse(pretty).toObject()).toJson(QJsonDocument::Compact);
    const auto edited = [&compact](const QByteArray& from, const QByteArray& to) {
        return QByteArray(compact).replace(from, to);
    };
    const QByteArray users = "\"userProfiles\":";
    const std::pair<QByteArray, bool> texts[] = {
        {pretty, true},
        {"\xEF\xBB\xBF" + pretty, true},
        {" \r\n\t" + compact + "\n", true},
        // A later member of the same name wins, lists included.
        {edited(users, users + "null," + users), true},
        {edited(users, users + "[]," + users), true},
        {edited(users, users + "[1]," + users), true},
        {edited("\"version\":6", "\"version\":6,\"userProfiles\":null"), false},
        // Members the document does not know are ignored, but must be JSON.
        {edited("{\"active", "{\"x\":[{\"]\":\"}\"}],\"active"), true},
        {edited("{\"active", "{\"x\":[{]},\"active"), false},
        // Broken structure at any level, or another format.
        {pretty.chopped(3), false},
        {compact + "{}", false},
        {edited("}]", "},]"), false},
        {edited("\"version\":6", "\"version\":\xEF\xBB\xBF" "6"), false},
        {edited(",\"name\"", "\"name\""), false},
        {R"({"version": 2, "profiles": []})", false},
    };
    // Read in parts, each text gives what the whole document gives: a document, or nothing.
    const auto agree = [](const QByteArray& bytes) {
        std::optional<PersistedProfiles> decoded;
        try {
            decoded = PersistedProfiles::fromJson(json::parse(bytes));
        } catch (const json::DecodeError&) {
        }
        const std::optional<PersistedProfiles> parts = PersistedProfiles::decodeInParts(bytes);
        EXPECT_EQ(parts, decoded) << bytes.left(300).constData();
        return parts.has_value();
    };
    for (const auto& [bytes, whole] : texts)
        EXPECT_EQ(agree(bytes), whole) << bytes.left(300).constData();

    // Seeded damage: the splitter reads bytes from disk, so it must agree on anything.
    std::mt19937 random(33);
    const auto pick = [&random](qsizetype bound) { return qsizetype(random() % std::uint32_t(bound)); };
    const QByteArray pieces[] = {"{", "}", "[", "]", "\"", "\\", ",", ":", " ", "null", "0", "\xEF\xBB\xBF", "\xC3"};
    int readable = 0;
    for (int i = 0; i < 1500; ++i) {
        QByteArray damaged = pretty;
        for (int n = 1 + pick(3); n > 0; --n) {
            const qsizetype at = pick(damaged.size());
            switch (pick(3)) {
            case 0: damaged.remove(at, 1 + pick(4)); break;
            case 1: damaged.insert(at, pieces[pick(std::size(pieces))]); break;
            default: damaged[at] = pieces[pick(std::size(pieces))].front();
            }
        }
        readable += agree(damaged);
    }
    // Damage in strings and whitespace leaves readable texts, or this proves little.
    EXPECT_GT(readable, 50);
}
