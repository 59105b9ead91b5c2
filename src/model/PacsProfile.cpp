#include "model/PacsProfile.h"

#include "platform/Json.h"
#include "platform/Text.h"

#include <QHashFunctions>

namespace velmor {

bool PacsProfile::operator==(const PacsProfile& other) const
{
    const bool sameLighting = defaultLightingHex.has_value() == other.defaultLightingHex.has_value()
        && (!defaultLightingHex || text::canonicallyEqual(*defaultLightingHex, *other.defaultLightingHex));
    return id == other.id && text::canonicallyEqual(name, other.name) && tools == other.tools && sameLighting;
}

QJsonObject PacsProfile::toJson() const
{
    return json::ObjectWriter()
        .set("id", id)
        .set("name", name)
        .set("tools", json::encodeList(tools))
        .setOptional("defaultLightingHex", defaultLightingHex)
        .take();
}

PacsProfile PacsProfile::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    PacsProfile profile;
    profile.id = reader.uuid("id");
    profile.name = reader.string("name");
    profile.tools = reader.decodeList<RadiologyTool>("tools");
    profile.defaultLightingHex = reader.optionalString("defaultLightingHex");
    return profile;
}

size_t qHash(const PacsProfile& profile, size_t seed) noexcept
{
    seed = qHashMulti(seed, profile.id, text::canonicalForm(profile.name), profile.tools.size());
    for (const RadiologyTool& tool : profile.tools)
        seed = qHashMulti(seed, tool);
    seed = qHashMulti(seed, profile.defaultLightingHex.has_value());
    return profile.defaultLightingHex ? qHashMulti(seed, text::canonicalForm(*profile.defaultLightingHex)) : seed;
}

} // namespace velmor
