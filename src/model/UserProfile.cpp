#include "model/UserProfile.h"

#include "platform/Json.h"
#include "platform/Text.h"

#include <QHashFunctions>

namespace velmor {

namespace {
bool sameText(const std::optional<QString>& a, const std::optional<QString>& b)
{
    return a.has_value() == b.has_value() && (!a || text::canonicallyEqual(*a, *b));
}

size_t hashText(size_t seed, const std::optional<QString>& value)
{
    seed = qHashMulti(seed, value.has_value());
    return value ? qHashMulti(seed, text::canonicalForm(*value)) : seed;
}
} // namespace

bool UserProfile::operator==(const UserProfile& other) const
{
    return id == other.id && text::canonicallyEqual(name, other.name) && pacsProfileId == other.pacsProfileId
        && mappings == other.mappings && sameText(selectedDeviceId, other.selectedDeviceId)
        && sameText(lightingHex, other.lightingHex);
}

QJsonObject UserProfile::toJson() const
{
    return json::ObjectWriter()
        .set("id", id)
        .set("name", name)
        .set("pacsProfileId", pacsProfileId)
        .set("mappings", json::encodeList(mappings))
        .setOptional("selectedDeviceId", selectedDeviceId)
        .setOptional("lightingHex", lightingHex)
        .take();
}

UserProfile UserProfile::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    UserProfile profile;
    profile.id = reader.uuid("id");
    profile.name = reader.string("name");
    profile.pacsProfileId = reader.uuid("pacsProfileId");
    profile.mappings = reader.decodeList<ButtonMapping>("mappings");
    profile.selectedDeviceId = reader.optionalString("selectedDeviceId");
    profile.lightingHex = reader.optionalString("lightingHex");
    return profile;
}

size_t qHash(const UserProfile& profile, size_t seed) noexcept
{
    seed = qHashMulti(seed, profile.id, text::canonicalForm(profile.name), profile.pacsProfileId,
                      profile.mappings.size());
    for (const ButtonMapping& mapping : profile.mappings)
        seed = qHashMulti(seed, mapping);
    seed = hashText(seed, profile.selectedDeviceId);
    return hashText(seed, profile.lightingHex);
}

} // namespace velmor
