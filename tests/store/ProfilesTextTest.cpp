// The text of profiles.json: written directly and read one profile at a time,
// always agreeing with the JSON documents of the same values.
#include "StoreFixture.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

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
    return PersistedProfiles{6, lit.id, empty.id, {lit, plain}, {user, empty}};
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
    for (const auto& [bytes, whole] : texts) {
        std::optional<PersistedProfiles> decoded;
        try {
            decoded = PersistedProfiles::fromJson(json::parse(bytes));
        } catch (const json::DecodeError&) {
        }
        const std::optional<PersistedProfiles> parts = PersistedProfiles::decodeInParts(bytes);
        EXPECT_EQ(parts, decoded) << bytes.left(300).constData();
        EXPECT_EQ(parts.has_value(), whole) << bytes.left(300).constData();
    }
}
