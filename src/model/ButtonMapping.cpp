#include "model/ButtonMapping.h"

#include "platform/Json.h"
#include "platform/Text.h"

#include <QHashFunctions>

namespace velmor {

bool ButtonMapping::operator==(const ButtonMapping& other) const
{
    return id == other.id && text::canonicallyEqual(deviceId, other.deviceId)
        && text::canonicallyEqual(buttonId, other.buttonId) && toolId == other.toolId;
}

QJsonObject ButtonMapping::toJson() const
{
    return json::ObjectWriter()
        .set("id", id)
        .set("deviceId", deviceId)
        .set("buttonId", buttonId)
        .set("toolId", toolId)
        .take();
}

ButtonMapping ButtonMapping::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    ButtonMapping mapping;
    mapping.id = reader.uuid("id");
    mapping.deviceId = reader.string("deviceId");
    mapping.buttonId = reader.string("buttonId");
    mapping.toolId = reader.uuid("toolId");
    return mapping;
}

size_t qHash(const ButtonMapping& mapping, size_t seed) noexcept
{
    return qHashMulti(seed, mapping.id, text::canonicalForm(mapping.deviceId), text::canonicalForm(mapping.buttonId),
                      mapping.toolId);
}

} // namespace velmor
