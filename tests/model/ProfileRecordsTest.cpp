#include "model/ButtonMapping.h"
#include "model/PacsProfile.h"
#include "model/UserProfile.h"
#include "platform/Json.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace velmor;

namespace {
const char* const toolId = "0F8E2C6A-55B1-4C7E-9A53-2E1D7B0C4F11";

QJsonValue parse(const QString& text) { return json::parse(text.toUtf8()); }

QString mappingJson(const QString& id = "9C1B7F2E-3D4A-4B5C-8D6E-7F8091A2B3C4")
{
    return QString(R"({"id": "%1", "deviceId": "tartarus_v2", "buttonId": "K01", "toolId": "%2"})")
        .arg(id, toolId);
}

UserProfile sampleUser()
{
    UserProfile user;
    user.id = QUuid::createUuid();
    user.name = "Night Shift";
    user.pacsProfileId = QUuid::createUuid();
    user.mappings = {ButtonMapping{QUuid::createUuid(), "tartarus_v2", "K01", QUuid::createUuid()},
                     ButtonMapping{QUuid::createUuid(), "speechmike_smp3700", "REC", QUuid::createUuid()}};
    user.selectedDeviceId = "speechmike_smp3700";
    user.lightingHex = "#112233";
    return user;
}
} // namespace

TEST(ButtonMapping, ReadsAnyUuidCaseAndWritesUpperCase)
{
    const ButtonMapping mapping = ButtonMapping::fromJson(parse(mappingJson("9c1b7f2e-3d4a-4b5c-8d6e-7f8091a2b3c4")));
    EXPECT_EQ(mapping.id, QUuid::fromString(QStringLiteral("9C1B7F2E-3D4A-4B5C-8D6E-7F8091A2B3C4")));
    const QJsonObject out = mapping.toJson();
    EXPECT_EQ(out.value("id").toString(), "9C1B7F2E-3D4A-4B5C-8D6E-7F8091A2B3C4");
    EXPECT_EQ(out.keys(), (QStringList{"buttonId", "deviceId", "id", "toolId"}));
    EXPECT_EQ(ButtonMapping::fromJson(out), mapping);
}

TEST(ButtonMapping, EveryKeyIsRequired)
{
    for (const char* key : {"id", "deviceId", "buttonId", "toolId"}) {
        QJsonObject object = parse(mappingJson()).toObject();
        object.remove(key);
        EXPECT_THROW(ButtonMapping::fromJson(object), json::DecodeError) << key;
        object.insert(key, QJsonValue::Null);
        EXPECT_THROW(ButtonMapping::fromJson(object), json::DecodeError) << key;
    }
    QJsonObject badId = parse(mappingJson()).toObject();
    badId.insert("toolId", "not-a-uuid");
    EXPECT_THROW(ButtonMapping::fromJson(badId), json::DecodeError);
}

TEST(UserProfile, OptionalKeysAreLeftOutNeverNull)
{
    const UserProfile user = UserProfile::fromJson(parse(QString(R"({
        "id": "A0000000-0000-4000-8000-000000000001", "name": "Radiologist - General",
        "pacsProfileId": "B0000000-0000-4000-8000-000000000002", "mappings": [],
        "selectedDeviceId": null, "unknown": true})")));
    EXPECT_FALSE(user.selectedDeviceId.has_value());
    EXPECT_FALSE(user.lightingHex.has_value());
    EXPECT_EQ(user.toJson().keys(), (QStringList{"id", "mappings", "name", "pacsProfileId"}));
}

TEST(UserProfile, RoundTripsEveryFieldAndKeepsColourTextAsStored)
{
    UserProfile user = sampleUser();
    user.lightingHex = "not a colour";
    const UserProfile back = UserProfile::fromJson(json::parse(json::encode(user.toJson())));
    EXPECT_EQ(back, user);
    EXPECT_EQ(back.lightingHex, "not a colour");
    EXPECT_EQ(qHash(back), qHash(user));
}

TEST(UserProfile, AFailingMappingFailsTheProfile)
{
    QJsonObject mapping = parse(mappingJson()).toObject();
    mapping.remove("toolId");
    QJsonObject user = sampleUser().toJson();
    user.insert("mappings", QJsonArray{parse(mappingJson()), mapping});
    EXPECT_THROW(UserProfile::fromJson(user), json::DecodeError);

    user.remove("mappings");
    EXPECT_THROW(UserProfile::fromJson(user), json::DecodeError);
}

TEST(UserProfile, EqualityIsFieldByFieldWithMappingOrderAndPresence)
{
    const UserProfile user = sampleUser();
    UserProfile reordered = user;
    std::swap(reordered.mappings[0], reordered.mappings[1]);
    EXPECT_NE(reordered, user);

    UserProfile noLighting = user;
    noLighting.lightingHex.reset();
    EXPECT_NE(noLighting, user);
    UserProfile emptyLighting = user;
    emptyLighting.lightingHex = QString();
    EXPECT_NE(emptyLighting, noLighting);

    UserProfile caseDiffers = user;
    caseDiffers.name = "night shift";
    EXPECT_NE(caseDiffers, user);

    // Canonically equivalent names are equal and hash alike.
    UserProfile composed = user;
    UserProfile decomposed = user;
    composed.name = QString::fromUtf8("Ren\u00e9");
    decomposed.name = QString::fromUtf8("Rene\u0301");
    EXPECT_EQ(composed, decomposed);
    EXPECT_EQ(qHash(composed), qHash(decomposed));
    EXPECT_EQ(QSet<UserProfile>({composed, decomposed}).size(), 1);
}

TEST(PacsProfile, ToolListIsRequiredButMayBeEmpty)
{
    const QString base = R"({"id": "C0000000-0000-4000-8000-000000000003", "name": "eUnity" %1})";
    const PacsProfile empty = PacsProfile::fromJson(parse(base.arg(R"(, "tools": [], "defaultLightingHex": null)")));
    EXPECT_TRUE(empty.tools.isEmpty());
    EXPECT_FALSE(empty.defaultLightingHex.has_value());
    EXPECT_EQ(empty.toJson().keys(), (QStringList{"id", "name", "tools"}));
    EXPECT_THROW(PacsProfile::fromJson(parse(base.arg(""))), json::DecodeError);
    EXPECT_THROW(PacsProfile::fromJson(parse(base.arg(R"(, "tools": {})"))), json::DecodeError);
}

TEST(PacsProfile, RoundTripsToolsInOrderAndFailsOnABadTool)
{
    PacsProfile pacs{QUuid::createUuid(), "Synthesis", {}, "#7800D1"};
    for (const char* name : {"Pan", "Zoom", "Cine"}) {
        RadiologyTool tool;
        tool.id = QUuid::createUuid();
        tool.name = name;
        tool.systemIcon = "circle";
        tool.enabled = true;
        pacs.tools.append(tool);
    }
    const PacsProfile back = PacsProfile::fromJson(json::parse(json::encode(pacs.toJson())));
    EXPECT_EQ(back, pacs);
    EXPECT_EQ(qHash(back), qHash(pacs));

    PacsProfile reordered = pacs;
    reordered.tools.move(0, 2);
    EXPECT_NE(reordered, pacs);

    QJsonObject object = pacs.toJson();
    QJsonArray tools = object.value("tools").toArray();
    QJsonObject badTool = tools.at(1).toObject();
    badTool.remove("enabled");
    tools.replace(1, badTool);
    object.insert("tools", tools);
    EXPECT_THROW(PacsProfile::fromJson(object), json::DecodeError);
}
