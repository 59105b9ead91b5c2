#include "StoreFixture.h"

#include "platform/Json.h"
#include "store/LegacyMigration.h"
#include "store/LegacyToolNames.h"
#include "store/LoadResult.h"
#include "store/ToolIdMap.h"
#include "store/UserProfileExport.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

PersistedProfiles sampleRoot()
{
    const RadiologyTool pan = makeTool("Pan");
    const PacsProfile pacs{QUuid::createUuid(), "Synthesis", {pan}, "#7800D1"};
    const UserProfile user{QUuid::createUuid(), "General", pacs.id,
                           {makeMapping("tartarus_v2", "K01", pan.id)}, "tartarus_v2", std::nullopt};
    return PersistedProfiles{6, pacs.id, user.id, {pacs}, {user}};
}

QJsonObject legacyRoot()
{
    return QJsonObject{{"version", 2},
                       {"profiles", QJsonArray{QJsonObject{{"id", "D0000000-0000-4000-8000-000000000004"},
                                                           {"name", "Old"},
                                                           {"tools", QJsonArray{}},
                                                           {"mappings", QJsonArray{}}}}}};
}

std::optional<LoadResult> decode(const QJsonObject& object) { return decodePayload(json::encode(object)); }

LegacyProfile legacyProfile(const QString& name, QList<RadiologyTool> tools)
{
    LegacyProfile p{QUuid::createUuid(), name, std::move(tools), {}, "tartarus_v2"};
    for (const RadiologyTool& t : std::as_const(p.tools))
        p.mappings.append(makeMapping("tartarus_v2", "K0" + QString::number(p.mappings.size() + 1), t.id));
    return p;
}

} // namespace

TEST(DecodePayload, AnyOtherVersionLoadsAsCurrentButCountsAsMigrated)
{
    const PersistedProfiles root = sampleRoot();
    for (qint64 version : {5, 7, 0, -1, 1000}) {
        QJsonObject object = root.toJson();
        object.insert("version", version);
        const auto result = decode(object);
        ASSERT_TRUE(result) << version;
        EXPECT_TRUE(result->didMigrate) << version;
        EXPECT_EQ(result->userProfiles, root.userProfiles);
    }
    QJsonObject object = root.toJson();
    object.insert("version", 6.0);
    EXPECT_FALSE(decode(object)->didMigrate);
}

TEST(DecodePayload, OptionalActiveIdsMayBeAbsentOrNullAndAreNotWrittenWhenAbsent)
{
    QJsonObject object = sampleRoot().toJson();
    object.remove("activePacsProfileId");
    object.insert("activeUserProfileId", QJsonValue::Null);
    object.insert("pacsProfiles", QJsonArray{});
    object.insert("userProfiles", QJsonArray{});
    EXPECT_EQ(decode(object), LoadResult{});

    const QByteArray bare = json::encode(PersistedProfiles{}.toJson());
    EXPECT_FALSE(bare.contains("active"));
    EXPECT_FALSE(bare.contains("null"));
}

TEST(DecodePayload, CurrentKeysWinAndLegacyIsTheFallback)
{
    const PersistedProfiles root = sampleRoot();
    QJsonObject both = root.toJson();
    both.insert("profiles", legacyRoot().value("profiles"));
    const auto current = decode(both);
    ASSERT_TRUE(current);
    EXPECT_FALSE(current->didMigrate);
    EXPECT_EQ(current->userProfiles, root.userProfiles);

    // Without "userProfiles" the current rule fails and the legacy one takes over.
    both.remove("userProfiles");
    const auto legacy = decode(both);
    ASSERT_TRUE(legacy);
    EXPECT_TRUE(legacy->didMigrate);
    EXPECT_EQ(namesOf(legacy->userProfiles), QStringList{"default"});
    EXPECT_EQ(legacy->activeUserProfileId, legacy->userProfiles[0].id);
}

TEST(DecodePayload, RefusesWhatNeitherFormatReads)
{
    const auto changed = [](const QString& key, const QJsonValue& value) {
        QJsonObject object = sampleRoot().toJson();
        if (value.isUndefined())
            object.remove(key);
        else
            object.insert(key, value);
        return object;
    };
    QJsonObject noVersion = changed("version", QJsonValue::Undefined);
    noVersion.insert("profiles", QJsonArray{});
    QJsonObject pacs = sampleRoot().toJson().value("pacsProfiles").toArray().at(0).toObject();
    pacs.insert("tools", QJsonArray{QJsonObject{{"name", "no id"}}});
    QJsonObject legacyNoVersion = legacyRoot();
    legacyNoVersion.remove("version");

    for (const QJsonObject& object :
         {noVersion, changed("userProfiles", QJsonValue::Undefined), changed("version", "6"),
          changed("version", 6.5), changed("pacsProfiles", QJsonArray{pacs}), legacyNoVersion,
          changed("activeUserProfileId", "active"), QJsonObject{}})
        EXPECT_FALSE(decode(object)) << json::encode(object).left(200).constData();

    for (const QByteArray& bytes : {QByteArray(), QByteArray("null"), QByteArray("[]"), QByteArray("6"),
                                    QByteArray("{\"version\": 6,"), json::encode(sampleRoot().toJson()).chopped(3)})
        EXPECT_FALSE(decodePayload(bytes)) << bytes.left(60).constData();
}

// The files under tests/data are what this application writes; later layers
// reuse them, so they must stay byte-for-byte what the encoders produce.
TEST(ProfileFiles, RecordedFilesReencodeByteForByte)
{
    const QByteArray current = readFile(dataPath("profiles-v6.json"));
    EXPECT_EQ(json::encode(PersistedProfiles::fromJson(json::parse(current)).toJson()), current);
    const auto result = decodePayload(current);
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->didMigrate);

    const QByteArray userBytes = readFile(dataPath("user-profile-export.json"));
    const UserProfileExport exported = UserProfileExport::fromJson(json::parse(userBytes));
    EXPECT_EQ(json::encode(exported.toJson()), userBytes);
    EXPECT_FALSE(decodePayload(userBytes));

    const QByteArray pacsBytes = readFile(dataPath("pacs-profile-export.json"));
    const PacsProfile pacs = PacsProfile::fromJson(json::parse(pacsBytes));
    EXPECT_EQ(json::encode(pacs.toJson()), pacsBytes);
    EXPECT_EQ(pacs.tools, exported.pacsTools);
    EXPECT_FALSE(decodePayload(pacsBytes));
}

TEST(ProfileFiles, LegacyFileMigratesTheActiveProfileOnly)
{
    const QByteArray bytes = readFile(dataPath("profiles-legacy.json"));
    EXPECT_THROW(PersistedProfiles::fromJson(json::parse(bytes)), json::DecodeError);
    const LegacyPersistedProfiles legacy = LegacyPersistedProfiles::fromJson(json::parse(bytes));
    const LegacyProfile& active = legacy.profiles.at(1);
    ASSERT_EQ(legacy.activeProfileId, active.id);

    const auto result = decodePayload(bytes);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->didMigrate);
    ASSERT_EQ(result->pacsProfiles.size(), 1);
    ASSERT_EQ(result->userProfiles.size(), 1);
    const PacsProfile& pacs = result->pacsProfiles[0];
    const UserProfile& user = result->userProfiles[0];

    const QStringList names = namesOf(pacs.tools);
    EXPECT_EQ(names.mid(0, 6), (QStringList{"MPR/3D", "Invert Grayscale", "Window/Level", "DICOM Metafile", "Cine",
                                            "Key Image Marker"}));
    EXPECT_EQ(QSet<QString>(names.cbegin(), names.cend()).size(), names.size());
    EXPECT_FALSE(names.contains("Cine (copy)"));
    // Written before tools had an icon source: a custom icon alone means custom.
    EXPECT_EQ(pacs.tools[5].iconSource, ToolIconSource::custom);

    EXPECT_EQ(user.mappings, active.mappings);
    EXPECT_EQ(user.selectedDeviceId, "tartarus_v2");
    EXPECT_EQ(user.pacsProfileId, pacs.id);
    EXPECT_NE(pacs.id, active.id);
    // The mapping of the dropped duplicate lands on the kept tool of that id.
    EXPECT_EQ(active.tools[6].id, pacs.tools[4].id);
}

TEST(UserProfileExport, OptionalPartsMayBeMissingOrNullButTheProfileMayNot)
{
    const QJsonObject profile = UserProfile{QUuid::createUuid(), "Solo", QUuid::createUuid(), {}, {}, {}}.toJson();
    const UserProfileExport bare = UserProfileExport::fromJson(
        QJsonObject{{"profile", profile}, {"pacsProfileName", QJsonValue::Null}});
    EXPECT_FALSE(bare.pacsProfileName.has_value());
    EXPECT_FALSE(bare.pacsTools.has_value());
    EXPECT_EQ(bare.toJson().keys(), QStringList{"profile"});

    const UserProfileExport emptyTools =
        UserProfileExport::fromJson(QJsonObject{{"profile", profile}, {"pacsTools", QJsonArray{}}});
    EXPECT_EQ(emptyTools.pacsTools, QList<RadiologyTool>{});
    EXPECT_EQ(UserProfileExport::fromJson(emptyTools.toJson()), emptyTools);

    EXPECT_THROW(UserProfileExport::fromJson(profile), json::DecodeError);
    EXPECT_THROW(UserProfileExport::fromJson(QJsonObject{{"profile", profile}, {"pacsTools", QJsonArray{1}}}),
                 json::DecodeError);
}

TEST(LegacyToolNames, RenamesOldNamesInAnyCaseKeepingIdsAndRepeatedIdsKeepTheFirst)
{
    QList<RadiologyTool> tools{makeTool("MPR"), makeTool("invert"), makeTool("montage images"), makeTool("Pan")};
    const QList<RadiologyTool> before = tools;
    EXPECT_TRUE(renameLegacyTools(tools));
    EXPECT_EQ(namesOf(tools), (QStringList{"MPR/3D", "Invert Grayscale", "Montage", "Pan"}));
    for (qsizetype i = 0; i < tools.size(); ++i)
        EXPECT_EQ(tools[i].id, before[i].id);
    EXPECT_FALSE(renameLegacyTools(tools));

    const QUuid shared = QUuid::createUuid();
    tools = {makeTool("A"), makeTool("B", shared), makeTool("C"), makeTool("D", shared), makeTool("E", shared)};
    EXPECT_TRUE(removeDuplicateTools(tools));
    EXPECT_EQ(namesOf(tools), (QStringList{"A", "B", "C"}));
    EXPECT_FALSE(removeDuplicateTools(tools));
}

TEST(LegacyMigration, UpgradeAppendsOnlyCatalogueToolsMissingByName)
{
    const QUuid dup = QUuid::createUuid();
    const LegacyProfile old = legacyProfile(
        "Reading room", {makeTool("mpr"), makeTool("window/level"), makeTool("Hanging", dup), makeTool("Other", dup)});
    const LegacyProfile upgraded = upgradedLegacyProfile(old);
    EXPECT_EQ(upgraded.mappings, old.mappings);
    EXPECT_EQ(namesOf(upgraded.tools.mid(0, 3)), (QStringList{"MPR/3D", "window/level", "Hanging"}));

    // The rest is the catalogue minus those two, in catalogue order, with catalogue ids.
    QList<RadiologyTool> expected;
    for (const RadiologyTool& t : RadiologyTool::defaultTools()) {
        if (t.name != "MPR/3D" && t.name != "Window/Level")
            expected.append(t);
    }
    EXPECT_EQ(upgraded.tools.mid(3), expected);
}

TEST(LegacyMigration, EmptyFileGivesTheCatalogueAndMissingOrUnknownActiveIdTakesTheFirst)
{
    const PersistedProfiles empty = migrateLegacy(LegacyPersistedProfiles{2, std::nullopt, {}});
    ASSERT_EQ(empty.pacsProfiles.size(), 1);
    ASSERT_EQ(empty.userProfiles.size(), 1);
    EXPECT_EQ(empty.pacsProfiles[0].tools, RadiologyTool::defaultTools());
    EXPECT_EQ(empty.userProfiles[0].pacsProfileId, empty.pacsProfiles[0].id);
    EXPECT_EQ(empty.activePacsProfileId, empty.pacsProfiles[0].id);
    EXPECT_EQ(empty.activeUserProfileId, empty.userProfiles[0].id);

    const LegacyProfile first = legacyProfile("First", {makeTool("Alpha")});
    const LegacyProfile second = legacyProfile("Second", {makeTool("Beta")});
    for (const std::optional<QUuid>& active : {std::optional<QUuid>(), std::optional<QUuid>(QUuid::createUuid())}) {
        const PersistedProfiles result = migrateLegacy(LegacyPersistedProfiles{1, active, {first, second}});
        EXPECT_EQ(result.userProfiles[0].mappings, first.mappings);
        EXPECT_EQ(result.pacsProfiles[0].tools.first().name, "Alpha");
    }
}

TEST(ToolIdMap, RepointsThroughLowerCasedNamesFirstOccurrenceWinning)
{
    const QUuid shared = QUuid::createUuid();
    // The source repeats an id (the first name counts); the target holds that same
    // id under another name, and repeats a name in other letter cases.
    const QList<RadiologyTool> from{makeTool("ZOOM", shared), makeTool("Pan", shared), makeTool("ÄRGER"),
                                    makeTool("Only Here")};
    const QList<RadiologyTool> to{makeTool("Pan", shared), makeTool("zoom"), makeTool("Zoom"), makeTool("ärger")};
    const QList<ButtonMapping> mappings{makeMapping("tartarus_v2", "K01", shared),
                                        makeMapping("tartarus_v2", "K02", QUuid::createUuid()),
                                        makeMapping("tartarus_v2", "K03", from[3].id),
                                        makeMapping("mouse_5_button", "LEFT_CLICK", from[2].id)};
    // Unknown tool id (K02) and a name the target lacks (K03) are dropped; order,
    // mapping ids, devices and buttons stay; ids are never matched directly.
    EXPECT_EQ(toolIdMap(mappings, from, to),
              (QList<ButtonMapping>{{mappings[0].id, "tartarus_v2", "K01", to[1].id},
                                    {mappings[3].id, "mouse_5_button", "LEFT_CLICK", to[3].id}}));
}
