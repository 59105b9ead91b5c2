#include "model/ButtonMapping.h"
#include "model/PacsProfile.h"
#include "model/RadiologyTool.h"
#include "model/ToolIconSelection.h"
#include "model/UserProfile.h"
#include "platform/Json.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

#include <cstdio>

using namespace velmor;
using Mods = KeyboardShortcut::Modifiers;

namespace {

const char* const kId = "5B0C4F0E-8D3A-4C55-9E61-2F7A1B3C4D5E";

const QJsonObject minimal{{"id", kId}, {"name", "Pan"}, {"systemIcon", "hand.draw"}, {"enabled", true}};

// A tool object (by default a minimal valid one) with `extra` keys added and `without` removed.
RadiologyTool read(const QJsonObject& extra = {}, const char* without = nullptr, QJsonObject o = minimal)
{
    for (auto it = extra.begin(); it != extra.end(); ++it)
        o.insert(it.key(), it.value());
    if (without)
        o.remove(without);
    return RadiologyTool::fromJson(o);
}

const RadiologyTool full{QUuid::fromString(QString::fromLatin1(kId)), "Sign & Close", "checkmark.seal",
                         ToolIconSource::custom, "ct.svg", false, true, 0.75, KeyboardShortcut{36, "⏎", Mods(19)},
                         QList<KeyboardShortcut>{{35, "P", {}}, {12, "Q", Mods::command}}, true, ToolCategory::mammo};

QJsonValue parse(const QString& text) { return json::parse(text.toUtf8()); }

const QString mappingJson = R"({"id": "9c1b7f2e-3d4a-4b5c-8d6e-7f8091a2b3c4", "deviceId": "tartarus_v2",
                                "buttonId": "K01", "toolId": "0F8E2C6A-55B1-4C7E-9A53-2E1D7B0C4F11"})";

// Colour texts are kept as stored, valid or not.
const UserProfile user{QUuid::createUuid(), "Night Shift", QUuid::createUuid(),
                       {ButtonMapping{QUuid::createUuid(), "tartarus_v2", "K01", QUuid::createUuid()},
                        ButtonMapping{QUuid::createUuid(), "speechmike_smp3700", "REC", QUuid::createUuid()}},
                       "speechmike_smp3700", "not a colour"};
} // namespace

TEST(RadiologyToolJson, ReadingDefaultsInferenceRoundTripSpeedClampAndDecodingFailures)
{
    const RadiologyTool t = read();
    EXPECT_EQ(t.toJson(), (QJsonObject{{"category", "Viewer"}, {"enabled", true}, {"iconSource", "system"},
                                       {"id", kId}, {"isFavorite", false}, {"name", "Pan"},
                                       {"repeatOnHoldEnabled", false}, {"repeatSpeed", 0.5},
                                       {"systemIcon", "hand.draw"}}));
    // Nulls read like absent keys.
    EXPECT_EQ(read({{"repeatOnHoldEnabled", {}}, {"repeatSpeed", {}}, {"shortcut", {}}, {"toggleShortcuts", {}},
                    {"isFavorite", {}}, {"category", {}}, {"customIcon", {}}}),
              t);

    // Empty toggle steps read as none; an empty custom icon is kept but neither is written.
    RadiologyTool empty = read({{"toggleShortcuts", QJsonArray()}, {"customIcon", ""}});
    EXPECT_FALSE(empty.toggleShortcuts);
    EXPECT_EQ(empty.customIcon, QString());
    EXPECT_EQ(empty.iconSource, ToolIconSource::system);
    empty.toggleShortcuts = QList<KeyboardShortcut>{};
    EXPECT_EQ(empty.toJson(), t.toJson());

    // A custom icon without an "iconSource" key means the custom icon; a null key is still a key.
    EXPECT_EQ(read({{"customIcon", "ct.svg"}}).iconSource, ToolIconSource::custom);
    EXPECT_EQ(read({{"customIcon", "ct.svg"}, {"iconSource", "system"}}).iconSource, ToolIconSource::system);
    EXPECT_EQ(read({{"customIcon", "ct.svg"}, {"iconSource", {}}}).iconSource, ToolIconSource::system);

    // Every field round-trips; ids read in either case; the speed is clamped on reading only.
    const QByteArray bytes = json::encode(full.toJson());
    EXPECT_TRUE(bytes.contains(kId));
    EXPECT_EQ(RadiologyTool::fromJson(json::parse(bytes)), full);
    EXPECT_EQ(read({{"id", QString::fromLatin1(kId).toLower()}}).id, full.id);

    const std::pair<double, double> speeds[] = {{3, 1}, {1, 1}, {0.95, 0.95}, {0.25, 0.25}, {0, 0}, {-2, 0}};
    for (const auto& [stored, expected] : speeds)
        EXPECT_EQ(read({{"repeatSpeed", stored}}).repeatSpeed, expected) << stored;

    RadiologyTool wild = read();
    wild.repeatSpeed = 1.5;
    EXPECT_EQ(wild.toJson().value("repeatSpeed"), QJsonValue(1.5));

    // Decoding fails on missing, mistyped or unknown values; unknown keys are ignored.
    for (const char* key : {"id", "name", "systemIcon", "enabled"})
        EXPECT_THROW(read({}, key), json::DecodeError) << key;

    const QJsonObject bad[] = {
        {{"enabled", {}}}, {{"id", "{5B0C4F0E-8D3A-4C55-9E61-2F7A1B3C4D5E}"}}, {{"name", 7}}, {{"category", "mammo"}},
        {{"iconSource", "Custom"}}, {{"customIcon", false}}, {{"repeatSpeed", "fast"}},
        {{"shortcut", QJsonObject{{"keyCode", 70000}, {"key", "W"}, {"modifiers", 0}}}},
        {{"toggleShortcuts", QJsonArray{QJsonObject{{"keyCode", 13}, {"modifiers", 0}}}}},
    };
    for (const QJsonObject& extra : bad)
        EXPECT_THROW(read(extra), json::DecodeError) << json::encode(extra).toStdString();

    EXPECT_EQ(read({{"futureKey", QJsonArray{1, 2}}}), read());
}

TEST(RadiologyToolEquality, EveryFieldCountsAndEqualToolsAndIconSelectionsHashAlike)
{
    // Each row changes one field of `full`.
    const QJsonArray steps = full.toJson().value("toggleShortcuts").toArray();
    const QJsonObject changes[] = {
        {{"id", "5B0C4F0E-8D3A-4C55-9E61-2F7A1B3C4D5F"}}, {{"name", "sign & close"}}, {{"systemIcon", "checkmark"}},
        {{"iconSource", "system"}}, {{"customIcon", ""}}, {{"enabled", true}}, {{"repeatOnHoldEnabled", false}},
        {{"repeatSpeed", 0.5}}, {{"shortcut", QJsonObject{{"keyCode", 36}, {"key", "⏎"}, {"modifiers", 3}}}},
        {{"toggleShortcuts", QJsonArray{}}}, {{"toggleShortcuts", QJsonArray{steps[1], steps[0]}}},
        {{"isFavorite", false}}, {{"category", "Reporting"}},
    };
    for (const QJsonObject& change : changes)
        EXPECT_NE(read(change, nullptr, full.toJson()), full) << json::encode(change).toStdString();

    RadiologyTool composed = full, decomposed = full, negativeZero = full;
    composed.name = QString("R") + QChar(0x00E9) + "sum" + QChar(0x00E9);
    decomposed.name = QString("Re") + QChar(0x0301) + "sume" + QChar(0x0301);
    composed.repeatSpeed = 0.0;
    decomposed.repeatSpeed = -0.0;
    negativeZero.repeatSpeed = -0.0;
    EXPECT_EQ(QSet<RadiologyTool>({full, composed, decomposed, negativeZero}).size(), 3);
    EXPECT_EQ(QSet<ToolIconSelection>({{ToolIconSource::system, composed.name}, {ToolIconSource::custom, composed.name},
                                       {ToolIconSource::custom, decomposed.name}})
                  .size(),
              2);
}

// Ids are unique and stable within the process, and another process (this binary run again) gets fresh ones.
TEST(ToolCatalogue, EveryToolHasAShortcutAndSurvivesAWriteAndReadBackWithIdsFreshInEachProcess)
{
    const QList<RadiologyTool> tools = RadiologyTool::defaultTools();
    QSet<QString> ids;
    for (const RadiologyTool& t : tools)
        ids.insert(t.id.toString());
    if (qEnvironmentVariableIsSet("VELMOR_PRINT_CATALOGUE_IDS"))
        return void(std::printf("IDS:%s\n", qPrintable(QStringList(ids.begin(), ids.end()).join(','))));
    ASSERT_EQ(ids.size(), 67);
    EXPECT_EQ(RadiologyTool::defaultTools(), tools);
    for (const RadiologyTool& t : tools) {
        SCOPED_TRACE(t.name.toStdString());
        EXPECT_TRUE(t.enabled);
        ASSERT_TRUE(t.shortcut); // a key name missing from the tables would leave none
        EXPECT_EQ(RadiologyTool::fromJson(t.toJson()), t);
        // The last tool alone is a toggle; its shortcut is its first step.
        EXPECT_EQ(t.isToggle(), &t == &tools.last());
    }
    ASSERT_EQ(tools.last().toggleShortcuts->size(), 2);
    EXPECT_EQ(tools.last().shortcut, tools.last().toggleShortcuts->first());

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VELMOR_PRINT_CATALOGUE_IDS", "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ToolCatalogue.*"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    const QStringList theirs = output.section("IDS:", 1).section('\n', 0, 0).split(',');
    ASSERT_EQ(theirs.size(), 67) << output.toStdString();
    EXPECT_FALSE(ids.intersects(QSet<QString>(theirs.begin(), theirs.end())));
}

TEST(ProfileRecords, UuidsWriteUpperCaseOptionalsStayAbsentBadPartsFailTheWholeAndEqualityIsFieldByField)
{
    const ButtonMapping mapping = ButtonMapping::fromJson(parse(mappingJson));
    EXPECT_EQ(mapping.toJson().value("id").toString(), "9C1B7F2E-3D4A-4B5C-8D6E-7F8091A2B3C4");
    EXPECT_EQ(UserProfile::fromJson(json::parse(json::encode(user.toJson()))), user);

    const UserProfile bare = UserProfile::fromJson(parse(R"({
        "id": "A0000000-0000-4000-8000-000000000001", "name": "Radiologist - General",
        "pacsProfileId": "B0000000-0000-4000-8000-000000000002", "mappings": [],
        "selectedDeviceId": null, "unknown": true})"));
    EXPECT_EQ(bare.toJson().keys(), (QStringList{"id", "mappings", "name", "pacsProfileId"}));
    const PacsProfile pacs = PacsProfile::fromJson(parse(R"({"id": "C0000000-0000-4000-8000-000000000003",
        "name": "eUnity", "tools": [], "defaultLightingHex": null})"));
    EXPECT_EQ(pacs.toJson().keys(), (QStringList{"id", "name", "tools"}));

    // Any failing part fails the whole record.
    QJsonObject badMapping = parse(mappingJson).toObject();
    badMapping.remove("toolId");
    QJsonObject stored = user.toJson();
    stored.insert("mappings", QJsonArray{parse(mappingJson), badMapping});
    EXPECT_THROW(UserProfile::fromJson(stored), json::DecodeError);
    stored.remove("mappings");
    EXPECT_THROW(UserProfile::fromJson(stored), json::DecodeError);

    QJsonObject pacsJson = pacs.toJson();
    pacsJson.remove("tools");
    EXPECT_THROW(PacsProfile::fromJson(pacsJson), json::DecodeError);
    pacsJson.insert("tools", QJsonArray{QJsonObject{{"id", "C0000000-0000-4000-8000-000000000004"},
                                                {"name", "Pan"}, {"systemIcon", "hand.draw"}}});
    EXPECT_THROW(PacsProfile::fromJson(pacsJson), json::DecodeError); // the tool lacks "enabled"

    // Profiles compare field by field, with order, presence and canonical text.
    UserProfile reordered = user, noLighting = user, emptyLighting = user, caseDiffers = user;
    std::swap(reordered.mappings[0], reordered.mappings[1]);
    noLighting.lightingHex.reset();
    emptyLighting.lightingHex = QString();
    caseDiffers.name = "night shift";
    for (const UserProfile& other : {reordered, noLighting, emptyLighting, caseDiffers})
        EXPECT_NE(other, user) << other.name.toStdString();
    EXPECT_NE(emptyLighting, noLighting);

    // Canonically equivalent names are equal and hash alike.
    UserProfile composed = user, decomposed = user;
    composed.name = QString::fromUtf8("Ren\u00e9");
    decomposed.name = QString::fromUtf8("Rene\u0301");
    EXPECT_EQ(QSet<UserProfile>({composed, decomposed}).size(), 1);

    PacsProfile lit = pacs;
    lit.defaultLightingHex = "#00B050";
    EXPECT_NE(lit, pacs);
}
