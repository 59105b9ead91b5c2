#include "store/PersistedProfiles.h"

#include "platform/Json.h"

namespace velmor {

QJsonObject PersistedProfiles::toJson() const
{
    return json::ObjectWriter()
        .set("version", version)
        .setOptional("activePacsProfileId", activePacsProfileId)
        .setOptional("activeUserProfileId", activeUserProfileId)
        .set("pacsProfiles", json::encodeList(pacsProfiles))
        .set("userProfiles", json::encodeList(userProfiles))
        .take();
}

PersistedProfiles PersistedProfiles::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    PersistedProfiles root;
    root.version = reader.integer<qint64>("version");
    root.activePacsProfileId = reader.optionalUuid("activePacsProfileId");
    root.activeUserProfileId = reader.optionalUuid("activeUserProfileId");
    root.pacsProfiles = reader.decodeList<PacsProfile>("pacsProfiles");
    root.userProfiles = reader.decodeList<UserProfile>("userProfiles");
    return root;
}

} // namespace velmor
