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

TEST(DecodePayload, OptionalActiveIdsMayBeAbsentOrNullAndAreNotWrittenWhenAbsent)
{
    QJsonObject object = sampleRoot().toJson();
    object.remove("activePacsProfileId");
    object.insert("activeUserProfileId", QJsonValue::Null);
    object.insert("pacsProfiles", QJsonArray{});
    object.insert("userProfiles", QJsonArray{});
    const auto result = decode(object);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, LoadResult{});

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
    ASSERT_EQ(legacy->userProfiles.size(), 1);
    EXPECT_EQ(legacy->userProfiles[0].name, "default");
    EXPECT_EQ(legacy->pacsProfiles[0].name, "Synthesis");
    EXPECT_EQ(legacy->activePacsProfileId, legacy->pacsProfiles[0].id);
    EXPECT_EQ(legacy->activeUserProfileId, legacy->userProfiles[0].id);
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
