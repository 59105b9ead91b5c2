#include "platform/Json.h"
#include "store/LoadResult.h"
#include "store/PersistedProfiles.h"

#include <gtest/gtest.h>

using namespace velmor;

namespace {

PersistedProfiles sampleRoot()
{
    RadiologyTool pan;
    pan.id = QUuid::createUuid();
    pan.name = "Pan";
    pan.systemIcon = "hand.draw";
    pan.enabled = true;
    const PacsProfile pacs{QUuid::createUuid(), "Synthesis", {pan}, "#7800D1"};
    UserProfile user;
    user.id = QUuid::createUuid();
    user.name = "Radiologist - General";
    user.pacsProfileId = pacs.id;
    user.mappings = {ButtonMapping{QUuid::createUuid(), "tartarus_v2", "K01", pan.id}};
    user.selectedDeviceId = "tartarus_v2";
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

} // namespace

TEST(DecodePayload, CurrentRootLoadsAsStoredWithoutMigration)
{
    const PersistedProfiles root = sampleRoot();
    const auto result = decodePayload(json::encode(root.toJson()));
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, (LoadResult{root.pacsProfiles, root.userProfiles, root.activePacsProfileId,
                                   root.activeUserProfileId, false}));
}

TEST(DecodePayload, AnyOtherVersionLoadsAsCurrentButCountsAsMigrated)
{
    const PersistedProfiles root = sampleRoot();
    for (qint64 version : {5, 7, 0, -1, 1000}) {
        QJsonObject object = root.toJson();
        object.insert("version", version);
        const auto result = decode(object);
        ASSERT_TRUE(result) << version;
        EXPECT_TRUE(result->didMigrate) << version;
        EXPECT_EQ(result->pacsProfiles, root.pacsProfiles);
        EXPECT_EQ(result->userProfiles, root.userProfiles);
    }
    QJsonObject object = root.toJson();
    object.insert("version", 6.0);
    EXPECT_FALSE(decode(object)->didMigrate);
}

TEST(DecodePayload, OptionalActiveIdsMayBeAbsentOrNull)
{
    QJsonObject object = sampleRoot().toJson();
    object.remove("activePacsProfileId");
    object.insert("activeUserProfileId", QJsonValue::Null);
    object.insert("pacsProfiles", QJsonArray{});
    object.insert("userProfiles", QJsonArray{});
    const auto result = decode(object);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, LoadResult{});
}

TEST(DecodePayload, CurrentKeysWinOverLegacyKeysInOneDocument)
{
    const PersistedProfiles root = sampleRoot();
    QJsonObject object = root.toJson();
    object.insert("profiles", legacyRoot().value("profiles"));
    const auto result = decode(object);
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->didMigrate);
    EXPECT_EQ(result->userProfiles, root.userProfiles);
    EXPECT_EQ(result->activePacsProfileId, root.activePacsProfileId);
}

TEST(DecodePayload, LegacyRootIsMigratedWhenTheCurrentRootFails)
{
    const auto result = decode(legacyRoot());
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->didMigrate);
    ASSERT_EQ(result->pacsProfiles.size(), 1);
    ASSERT_EQ(result->userProfiles.size(), 1);
    EXPECT_EQ(result->pacsProfiles[0].name, "Synthesis");
    EXPECT_EQ(result->userProfiles[0].name, "default");
    EXPECT_EQ(result->activePacsProfileId, result->pacsProfiles[0].id);
    EXPECT_EQ(result->activeUserProfileId, result->userProfiles[0].id);

    // A current document missing "userProfiles" falls through to the legacy rule.
    QJsonObject mixed = sampleRoot().toJson();
    mixed.remove("userProfiles");
    mixed.insert("profiles", legacyRoot().value("profiles"));
    const auto fromMixed = decode(mixed);
    ASSERT_TRUE(fromMixed);
    EXPECT_TRUE(fromMixed->didMigrate);
    EXPECT_EQ(fromMixed->userProfiles[0].name, "default");
}

TEST(DecodePayload, RefusesWhatNeitherFormatReads)
{
    QJsonObject noVersion = sampleRoot().toJson();
    noVersion.remove("version");
    noVersion.insert("profiles", QJsonArray{});
    QJsonObject noUsers = sampleRoot().toJson();
    noUsers.remove("userProfiles");
    QJsonObject textVersion = sampleRoot().toJson();
    textVersion.insert("version", "6");
    QJsonObject fractionalVersion = sampleRoot().toJson();
    fractionalVersion.insert("version", 6.5);
    QJsonObject badTool = sampleRoot().toJson();
    QJsonObject pacs = badTool.value("pacsProfiles").toArray().at(0).toObject();
    pacs.insert("tools", QJsonArray{QJsonObject{{"name", "no id"}}});
    badTool.insert("pacsProfiles", QJsonArray{pacs});
    QJsonObject legacyNoVersion = legacyRoot();
    legacyNoVersion.remove("version");
    QJsonObject badActive = sampleRoot().toJson();
    badActive.insert("activeUserProfileId", "active");

    for (const QJsonObject& object : {noVersion, noUsers, textVersion, fractionalVersion, badTool, legacyNoVersion,
                                      badActive, QJsonObject{}})
        EXPECT_FALSE(decode(object)) << json::encode(object).left(200).constData();

    for (const QByteArray& bytes : {QByteArray(), QByteArray("null"), QByteArray("[]"), QByteArray("6"),
                                    QByteArray("{\"version\": 6,"), json::encode(sampleRoot().toJson()).chopped(3)})
        EXPECT_FALSE(decodePayload(bytes)) << bytes.left(60).constData();
}

TEST(PersistedProfiles, EncodingIsSortedStableAndLeavesAbsentIdsOut)
{
    PersistedProfiles root = sampleRoot();
    const QByteArray bytes = json::encode(root.toJson());
    EXPECT_EQ(json::encode(PersistedProfiles::fromJson(json::parse(bytes)).toJson()), bytes);
    const qsizetype active = bytes.indexOf("\"activePacsProfileId\"");
    const qsizetype pacs = bytes.indexOf("\"pacsProfiles\"");
    const qsizetype users = bytes.indexOf("\"userProfiles\"");
    const qsizetype version = bytes.indexOf("\"version\": 6");
    EXPECT_TRUE(active >= 0 && active < pacs && pacs < users && users < version) << bytes.constData();

    root.activePacsProfileId.reset();
    root.activeUserProfileId.reset();
    const QByteArray bare = json::encode(root.toJson());
    EXPECT_FALSE(bare.contains("active"));
    EXPECT_FALSE(bare.contains("null"));
}
