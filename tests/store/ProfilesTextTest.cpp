// The text of profiles.json: written directly and read one profile at a time,
// always agreeing with the JSON documents of the same values.
#include "StoreFixture.h"

#include "platform/Json.h"
#include "store/LoadResult.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <random>

using namespace velmor;
using namespace velmor::test;

namespace {

// Every optional part present and absent, texts that need escapes, every
// kind of number the documents hold.
PersistedProfiles representativeDocument()
{
    const QString awkward = QStringLiteral("Größe → \"quoted\" \\ / \t\n\x01 ") + QString::fromUcs4(U"\U0001D11E")
        + QChar(0xD800);
    RadiologyTool full = makeTool(awkward);
    full.iconSource = ToolIconSource::custom;
    full.customIcon = "my icon.svg";
    full.enabled = false;
    full.repeatOnHoldEnabled = true;
    full.repeatSpeed = 0.1;
    full.shortcut = KeyboardShortcut{65535, "→", KeyboardShortcut::Modifiers((qint64(1) << 40) | 9)};
    full.toggleShortcuts = QList<KeyboardShortcut>{*full.shortcut, {0, "", {}}};
    full.isFavorite = true;
    full.category = ToolCategory::mammo;
    RadiologyTool bare = makeTool("Pan");
    bare.customIcon = "";
    bare.toggleShortcuts = QList<KeyboardShortcut>{};
    bare.repeatSpeed = 1e-7;

    const PacsProfile lit{QUuid::createUuid(), "Synthesis", {full, bare}, ""};
    const PacsProfile plain{QUuid::createUuid(), "Reading Room", {}, std::nullopt};
    const UserProfile mapped{QUuid::createUuid(), awkward, lit.id,
                             {makeMapping("tartarus_v2", "K01", full.id), makeMapping("mouse", "é", bare.id)},
                             "tartarus_v2", "#FF0000"};
    const UserProfile empty{QUuid::createUuid(), "", plain.id, {}, std::nullopt, std::nullopt};
    return PersistedProfiles{6, lit.id, empty.id, {lit, plain}, {mapped, empty}};
}

std::optional<PersistedProfiles> decodedWhole(const QByteArray& bytes)
{
    try {
        return PersistedProfiles::fromJson(json::parse(bytes));
    } catch (const json::DecodeError&) {
        return std::nullopt;
    }
}

// Read in parts, a document gives what the whole document gives, or nothing.
void expectAgreement(const QByteArray& bytes, std::optional<bool> readInParts = std::nullopt)
{
    const std::optional<PersistedProfiles> parts = PersistedProfiles::decodeInParts(bytes);
    if (parts) {
        EXPECT_EQ(parts, decodedWhole(bytes)) << bytes.left(300).constData();
    }
    if (readInParts) {
        EXPECT_EQ(parts.has_value(), *readInParts) << bytes.left(300).constData();
    }
}

} // namespace

TEST(ProfilesText, WriterGivesTheBytesOfTheIndentedJsonDocument)
{
    const PersistedProfiles document = representativeDocument();
    const QByteArray expected = QJsonDocument(document.toJson()).toJson(QJsonDocument::Indented);
    EXPECT_EQ(document.encode(), expected);
    EXPECT_EQ(document.encode(expected.size() * 2), expected);
    EXPECT_EQ(PersistedProfiles{}.encode(), json::encode(PersistedProfiles{}.toJson()));
    EXPECT_FALSE(document.encode().startsWith("\xEF\xBB\xBF"));

    const QByteArray recorded = readFile(dataPath("profiles-v6.json"));
    EXPECT_EQ(PersistedProfiles::fromJson(json::parse(recorded)).encode(), recorded);
}

TEST(ProfilesText, ReadInPartsAgreesWithTheWholeDocument)
{
    const PersistedProfiles document = representativeDocument();
    const QByteArray pretty = document.encode();
    const QByteArray compact = QJsonDocument(document.toJson()).toJson(QJsonDocument::Compact);
    expectAgreement(pretty, true);
    expectAgreement("\xEF\xBB\xBF" + pretty, true);
    expectAgreement(" \r\n\t" + compact + "\n", true);

    // A later member of the same name wins, lists included.
    const QByteArray users = "\"userProfiles\":";
    expectAgreement(QByteArray(compact).replace(users, users + "null," + users), true);
    expectAgreement(QByteArray(compact).replace(users, users + "[]," + users), true);
    expectAgreement(QByteArray(compact).replace(users, users + "[1]," + users), true);
    expectAgreement(QByteArray(compact).replace("\"version\":6", "\"version\":6,\"userProfiles\":null"), false);
    // Members the document does not know are ignored, but must be JSON.
    expectAgreement(QByteArray(compact).replace("{\"active", "{\"x\":[{\"]\":\"}\"}],\"active"), true);
    expectAgreement(QByteArray(compact).replace("{\"active", "{\"x\":[{]},\"active"), false);

    // Broken structure at any level, or another format: nothing, and the whole
    // document fails as well.
    const QByteArray legacy = R"({"version": 2, "profiles": []})";
    for (const QByteArray& bytes : {pretty.chopped(3), pretty + "x", QByteArray(compact).replace("}]", "},]"),
                                    QByteArray(compact).replace("\"version\":6", "\"version\":\xEF\xBB\xBF" "6"),
                                    QByteArray(compact).replace(",\"name\"", "\"name\""), legacy, QByteArray("[]"),
                                    QByteArray()}) {
        expectAgreement(bytes, false);
        EXPECT_FALSE(decodedWhole(bytes)) << bytes.left(100).constData();
    }
}

// Seeded damage to the text: whatever reading in parts accepts, the whole
// document gives too, with the same values.
TEST(ProfilesText, DamagedTextsReadInPartsAgreeWithTheWholeDocument)
{
    const QByteArray text = representativeDocument().encode();
    std::mt19937 random(33);
    const auto pick = [&random](qsizetype bound) { return qsizetype(random() % std::uint32_t(bound)); };
    const QByteArray pieces[] = {"{", "}", "[", "]", "\"", "\\", ",", ":", " ", "null", "0", "\xEF\xBB\xBF", "\xC3"};
    int readInParts = 0;
    for (int i = 0; i < 1500; ++i) {
        QByteArray damaged = text;
        for (int n = 1 + pick(3); n > 0; --n) {
            const qsizetype at = pick(damaged.size());
            switch (pick(3)) {
            case 0: damaged.remove(at, 1 + pick(4)); break;
            case 1: damaged.insert(at, pieces[pick(std::size(pieces))]); break;
            default: damaged[at] = pieces[pick(std::size(pieces))].front();
            }
        }
        SCOPED_TRACE(i);
        expectAgreement(damaged);
        readInParts += PersistedProfiles::decodeInParts(damaged).has_value();
    }
    // Damage inside strings and ignored whitespace leaves readable texts, or this proves little.
    EXPECT_GT(readInParts, 50);
}
