#include "model/ButtonMapping.h"
#include "model/PacsProfile.h"
#include "model/UserProfile.h"
#include "platform/Json.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace velmor;

namespace {
QJsonValue parse(const QString& text) { return json::parse(text.toUtf8()); }

const QString mappingJson = R"({"id": "9c1b7f2e-3d4a-4b5c-8d6e-7f8091a2b3c4", "deviceId": "tartarus_v2",
                                "buttonId": "K01", "toolId": "0F8E2C6A-55B1-4C7E-9A53-2E1D7B0C4F11"})";

UserProfile sampleUser()
{
    return UserProfile{QUuid::createUuid(),
                       "Night Shift",
                       QUuid::createUuid(),
                       {ButtonMapping{QUuid::createUuid(), "tartarus_v2", "K01", QUuid::createUuid()},
                        ButtonMapping{QUuid::createUuid(), "speechmike_smp3700", "REC", QUuid::createUuid()}},
                       "speechmike_smp3700",
                       "not a colour"};
}
} // namespace

TEST(ProfileRecords, UuidsReadInAnyCaseAndWriteUpperCase)
{
    const ButtonMapping mapping = ButtonMapping::fromJson(parse(mappingJson));
    const QJsonObject out = mapping.toJson();
    EXPECT_EQ(out.value("id").toString(), "9C1B7F2E-3D4A-4B5C-8D6E-7F8091A2B3C4");
    EXPECT_EQ(ButtonMapping::fromJson(out), mapping);

    // Colour texts are kept as stored, valid or not.
    const UserProfile user = sampleUser();
    EXPECT_EQ(UserProfile::fromJson(json::parse(json::encode(user.toJson()))), user);
}

TEST(ProfileRecords, AbsentOrNullOptionalsReadAsNoneAndAreNeverWritten)
{
    const UserProfile user = UserProfile::fromJson(parse(R"({
        "id": "A0000000-0000-4000-8000-000000000001", "name": "Radiologist - General",
        "pacsProfileId": "B0000000-0000-4000-8000-000000000002", "mappings": [],
        "selectedDeviceId": null, "unknown": true})"));
    EXPECT_FALSE(user.selectedDeviceId.has_value());
    EXPECT_FALSE(user.lightingHex.has_value());
    EXPECT_EQ(user.toJson().keys(), (QStringList{"id", "mappings", "name", "pacsProfileId"}));

    const PacsProfile pacs = PacsProfile::fromJson(parse(R"({"id": "C0000000-0000-4000-8000-000000000003",
        "name": "eUnity", "tools": [], "defaultLightingHex": null})"));
    EXPECT_TRUE(pacs.tools.isEmpty());
    EXPECT_EQ(pacs.toJson().keys(), (QStringList{"id", "name", "tools"}));
}

TEST(ProfileRecords, AnyFailingPartFailsTheWholeRecord)
{
    QJsonObject badMapping = parse(mappingJson).toObject();
    badMapping.remove("toolId");
    QJsonObject user = sampleUser().toJson();
    user.insert("mappings", QJsonArray{parse(mappingJson), badMapping});
    EXPECT_THROW(UserProfile::fromJson(user), json::DecodeError);
    user.remove("mappings");
    EXPECT_THROW(UserProfile::fromJson(user), json::DecodeError);

    QJsonObject pacs{{"id", "C0000000-0000-4000-8000-000000000003"}, {"name", "eUnity"}};
    EXPECT_THROW(PacsProfile::fromJson(pacs), json::DecodeError);
    pacs.insert("tools", QJsonArray{QJsonObject{{"id", "C0000000-0000-4000-8000-000000000004"},
                                                {"name", "Pan"}, {"systemIcon", "hand.draw"}}});
    EXPECT_THROW(PacsProfile::fromJson(pacs), json::DecodeError); // the tool lacks "enabled"
}

TEST(ProfileRecords, EqualityIsFieldByFieldWithOrderAndPresence)
{
    const UserProfile user = sampleUser();
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
    EXPECT_EQ(composed, decomposed);
    EXPECT_EQ(QSet<UserProfile>({composed, decomposed}).size(), 1);

    const PacsProfile pacs{QUuid::createUuid(), "eUnity", {}, std::nullopt};
    PacsProfile lit = pacs;
    lit.defaultLightingHex = "#00B050";
    EXPECT_NE(lit, pacs);
}
