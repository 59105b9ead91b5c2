#include "StoreFixture.h"

#include "store/LegacyMigration.h"
#include "store/LoadResult.h"
#include "store/ToolIdMap.h"
#include "store/UserProfileExport.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

// A copy of `object` with `key` set to `value`, or removed when `value` is undefined.
QJsonObject with(QJsonObject object, const QString& key, const QJsonValue& value)
{
    if (value.isUndefined())
        object.remove(key);
    else
        object.insert(key, value);
    return object;
}

LegacyProfile legacyProfile(const QString& name)
{
    const RadiologyTool tool = makeTool(name);
    return LegacyProfile{QUuid::createUuid(), name, {tool}, {makeMapping("tartarus_v2", "K01", tool.id)}, {}};
}

} // namespace

// The current format first, of any version (another than the current one counts
// as migrated), then the legacy format; nothing when neither reads.
TEST(DecodePayload, CurrentFormatOfAnyVersionFirstThenLegacyElseNothing)
{
    enum Outcome { refused, current, migrated, legacy };
    const RadiologyTool pan = makeTool("Pan");
    const PacsProfile pacs{QUuid::createUuid(), "Synthesis", {pan}, "#7800D1"};
    const UserProfile user{QUuid::createUuid(), "General", pacs.id, {makeMapping("mouse", "K01", pan.id)}, {}, {}};
    const QJsonObject root = PersistedProfiles{6, pacs.id, user.id, {pacs}, {user}}.toJson();
    const QJsonObject old{{"version", 2}, {"profiles", QJsonArray{legacyProfile("Old").toJson()}}};
    const QJsonObject both = with(root, "profiles", old["profiles"]);
    const QJsonArray toolWithoutId{with(pacs.toJson(), "tools", QJsonArray{QJsonObject{{"name", "Pan"}}})};
    const std::pair<QJsonObject, Outcome> rows[] = {
        {root, current},
        {with(with(root, "activePacsProfileId", {}), "activeUserProfileId", QJsonValue::Undefined), current},
        {with(root, "version", 5), migrated},
        {with(root, "version", 7), migrated},
        {with(root, "userProfiles", QJsonValue::Undefined), refused},
        {with(root, "pacsProfiles", toolWithoutId), refused},
        {both, current},
        {with(both, "userProfiles", QJsonValue::Undefined), legacy},
        {old, legacy},
        {with(old, "version", QJsonValue::Undefined), refused},
        {QJsonObject{}, refused},
    };
    for (const auto& [object, outcome] : rows) {
        const std::optional<LoadResult> result = decodePayload(json::encode(object));
        SCOPED_TRACE(json::encode(object).left(300).constData());
        ASSERT_EQ(result.has_value(), outcome != refused);
        if (result) {
            EXPECT_EQ(result->didMigrate, outcome != current);
            EXPECT_EQ(result->userProfiles.first().name, QString(outcome == legacy ? "default" : "General"));
        }
    }
    for (const QByteArray bytes : {"", "null", "[]", "6", "{\"version\": 6,"})
        EXPECT_FALSE(decodePayload(bytes)) << bytes.constData();
}

// The files under tests/data are what this application writes; later layers
// reuse them, so they must stay byte-for-byte what the encoders produce.
TEST(UserProfileExport, RecordedFilesReencodeAndAbsentPartsStayAbsent)
{
    const QByteArray userBytes = readFile(dataPath("user-profile-export.json"));
    const UserProfileExport exported = UserProfileExport::fromJson(json::parse(userBytes));
    EXPECT_EQ(json::encode(exported.toJson()), userBytes);
    const QByteArray pacsBytes = readFile(dataPath("pacs-profile-export.json"));
    const PacsProfile pacs = PacsProfile::fromJson(json::parse(pacsBytes));
    EXPECT_EQ(json::encode(pacs.toJson()), pacsBytes);
    EXPECT_FALSE(decodePayload(userBytes) || decodePayload(pacsBytes));

    const QJsonObject profile{{"profile", exported.profile.toJson()}};
    const UserProfileExport bare = UserProfileExport::fromJson(with(profile, "pacsProfileName", QJsonValue::Null));
    EXPECT_EQ(bare.toJson(), profile);
    const UserProfileExport noTools = UserProfileExport::fromJson(with(profile, "pacsTools", QJsonArray{}));
    EXPECT_EQ(UserProfileExport::fromJson(noTools.toJson()).pacsTools, QList<RadiologyTool>{});
}

// Old tool names are renamed in any letter case, repeated ids keep the first
// tool, and the catalogue tools missing by name are appended.
TEST(LegacyMigration, TheActiveProfileIsMigratedElseTheFirstElseTheCatalogue)
{
    const QByteArray bytes = readFile(dataPath("profiles-legacy.json"));
    const LegacyPersistedProfiles legacy = LegacyPersistedProfiles::fromJson(json::parse(bytes));
    const LegacyProfile& active = legacy.profiles.at(1);
    ASSERT_EQ(legacy.activeProfileId, active.id);

    const PersistedProfiles result = migrateLegacy(legacy);
    ASSERT_EQ(result.pacsProfiles.size(), 1);
    ASSERT_EQ(result.userProfiles.size(), 1);
    const PacsProfile& pacs = result.pacsProfiles[0];
    const UserProfile& user = result.userProfiles[0];
    const QStringList names = namesOf(pacs.tools);
    EXPECT_EQ(names.mid(0, 6), (QStringList{"MPR/3D", "Invert Grayscale", "Window/Level", "DICOM Metafile", "Cine",
                                            "Key Image Marker"}));
    QList<RadiologyTool> appended;
    for (const RadiologyTool& tool : RadiologyTool::defaultTools()) {
        if (!names.mid(0, 6).contains(tool.name, Qt::CaseInsensitive))
            appended.append(tool);
    }
    EXPECT_EQ(pacs.tools.mid(6), appended);
    // Written before tools had an icon source: a custom icon alone means custom.
    EXPECT_EQ(pacs.tools[5].iconSource, ToolIconSource::custom);

    EXPECT_EQ(user.mappings, active.mappings);
    EXPECT_EQ(user.selectedDeviceId, "tartarus_v2");
    EXPECT_EQ(user.pacsProfileId, pacs.id);
    EXPECT_EQ(result.activePacsProfileId, pacs.id);
    EXPECT_EQ(result.activeUserProfileId, user.id);
    // The mapping of the dropped duplicate lands on the kept tool of that id.
    EXPECT_EQ(active.tools[6].id, pacs.tools[4].id);

    // An empty file gives the catalogue; a missing or unknown active id takes the first profile.
    const PersistedProfiles empty = migrateLegacy(LegacyPersistedProfiles{2, std::nullopt, {}});
    EXPECT_EQ(empty.pacsProfiles.value(0).tools, RadiologyTool::defaultTools());

    const LegacyProfile first = legacyProfile("Alpha");
    for (const std::optional<QUuid>& active : {std::optional<QUuid>(), std::optional<QUuid>(QUuid::createUuid())}) {
        const PersistedProfiles picked = migrateLegacy(LegacyPersistedProfiles{1, active, {first, legacyProfile("B")}});
        EXPECT_EQ(picked.userProfiles[0].mappings, first.mappings);
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
