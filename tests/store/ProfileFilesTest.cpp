#include "platform/Json.h"
#include "store/LegacyPersistedProfiles.h"
#include "store/LoadResult.h"
#include "store/PersistedProfiles.h"
#include "store/UserProfileExport.h"
#include "support/TestSupport.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace velmor;

// The fixtures under tests/data are what this application writes; later layers
// reuse them, so their shape is pinned here.

namespace {
QStringList namesOf(const QList<RadiologyTool>& tools)
{
    QStringList names;
    for (const RadiologyTool& t : tools)
        names << t.name;
    return names;
}
} // namespace

TEST(ProfileFiles, CurrentFileDecodesUnmigratedAndReencodesByteForByte)
{
    const QByteArray bytes = test::readFile(test::dataPath("profiles-v6.json"));
    const PersistedProfiles root = PersistedProfiles::fromJson(json::parse(bytes));
    EXPECT_EQ(json::encode(root.toJson()), bytes);

    const auto result = decodePayload(bytes);
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->didMigrate);
    QStringList pacsNames;
    for (const PacsProfile& p : result->pacsProfiles)
        pacsNames << p.name;
    EXPECT_EQ(pacsNames, (QStringList{"Synthesis", "Intelerad", "eUnity", "Change Healthcare", "Reading Station"}));
    ASSERT_EQ(result->userProfiles.size(), 2);
    EXPECT_EQ(result->activePacsProfileId, result->pacsProfiles[0].id);
    EXPECT_EQ(result->activeUserProfileId, result->userProfiles[0].id);
    EXPECT_EQ(result->userProfiles[1].lightingHex, "#1E90FF");
    EXPECT_TRUE(result->pacsProfiles[4].tools[4].isToggle());
}

TEST(ProfileFiles, LegacyFileMigratesTheActiveProfileOnly)
{
    const QByteArray bytes = test::readFile(test::dataPath("profiles-legacy.json"));
    EXPECT_THROW(PersistedProfiles::fromJson(json::parse(bytes)), json::DecodeError);
    const LegacyPersistedProfiles legacy = LegacyPersistedProfiles::fromJson(json::parse(bytes));
    ASSERT_EQ(legacy.profiles.size(), 2);
    const LegacyProfile& active = legacy.profiles[1];
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
    EXPECT_FALSE(names.contains("Cine (copy)"));
    EXPECT_EQ(pacs.tools.size(), 6 + 67 - 5);
    EXPECT_EQ(QSet<QString>(names.cbegin(), names.cend()).size(), names.size());
    // Written before tools had an icon source: a custom icon alone means custom.
    EXPECT_EQ(pacs.tools[5].iconSource, ToolIconSource::custom);

    EXPECT_EQ(user.name, "default");
    EXPECT_EQ(user.mappings, active.mappings);
    EXPECT_EQ(user.selectedDeviceId, "tartarus_v2");
    EXPECT_EQ(user.pacsProfileId, pacs.id);
    EXPECT_NE(pacs.id, active.id);
    // The mapping of the dropped duplicate lands on the kept tool of that id.
    EXPECT_EQ(active.tools[6].id, pacs.tools[4].id);
}

TEST(ProfileFiles, ExportFilesReencodeByteForByteAndAreNoProfilesDocument)
{
    const QByteArray userBytes = test::readFile(test::dataPath("user-profile-export.json"));
    const UserProfileExport exported = UserProfileExport::fromJson(json::parse(userBytes));
    EXPECT_EQ(json::encode(exported.toJson()), userBytes);
    EXPECT_EQ(exported.pacsProfileName, "Reading Station");
    ASSERT_TRUE(exported.pacsTools);
    EXPECT_EQ(exported.pacsTools->size(), 5);
    EXPECT_FALSE(decodePayload(userBytes));

    const QByteArray pacsBytes = test::readFile(test::dataPath("pacs-profile-export.json"));
    const PacsProfile pacs = PacsProfile::fromJson(json::parse(pacsBytes));
    EXPECT_EQ(json::encode(pacs.toJson()), pacsBytes);
    EXPECT_EQ(pacs.tools, *exported.pacsTools);
    EXPECT_FALSE(decodePayload(pacsBytes));
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
    ASSERT_TRUE(emptyTools.pacsTools.has_value());
    EXPECT_TRUE(emptyTools.pacsTools->isEmpty());
    EXPECT_EQ(UserProfileExport::fromJson(emptyTools.toJson()), emptyTools);

    EXPECT_THROW(UserProfileExport::fromJson(profile), json::DecodeError);
    EXPECT_THROW(UserProfileExport::fromJson(QJsonObject{{"profile", profile}, {"pacsTools", QJsonArray{1}}}),
                 json::DecodeError);
}
