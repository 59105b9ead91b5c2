#include "store/LegacyPersistedProfiles.h"

#include "platform/Json.h"

namespace velmor {

QJsonObject LegacyProfile::toJson() const
{
    return json::ObjectWriter()
        .set("id", id)
        .set("name", name)
        .set("tools", json::encodeList(tools))
        .set("mappings", json::encodeList(mappings))
        .setOptional("selectedDeviceId", selectedDeviceId)
        .take();
}

LegacyProfile LegacyProfile::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    LegacyProfile profile;
    profile.id = reader.uuid("id");
    profile.name = reader.string("name");
    profile.tools = reader.decodeList<RadiologyTool>("tools");
    profile.mappings = reader.decodeList<ButtonMapping>("mappings");
    profile.selectedDeviceId = reader.optionalString("selectedDeviceId");
    return profile;
}

QJsonObject LegacyPersistedProfiles::toJson() const
{
    return json::ObjectWriter()
        .set("version", version)
        .setOptional("activeProfileId", activeProfileId)
        .set("profiles", json::encodeList(profiles))
        .take();
}

LegacyPersistedProfiles LegacyPersistedProfiles::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    LegacyPersistedProfiles root;
    root.version = reader.integer<qint64>("version");
    root.activeProfileId = reader.optionalUuid("activeProfileId");
    root.profiles = reader.decodeList<LegacyProfile>("profiles");
    return root;
}

} // namespace velmor
