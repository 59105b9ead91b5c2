#include "model/Device.h"

#include "platform/Json.h"

#include <QHashFunctions>

namespace velmor {

QJsonObject Device::toJson() const
{
    return json::ObjectWriter()
        .set("id", id)
        .set("name", name)
        .set("type", type)
        .setOptional("imageFilename", imageFilename)
        .set("buttons", json::encodeList(buttons))
        .take();
}

Device Device::fromJson(const QJsonValue& value, const QString& path)
{
    const json::ObjectReader reader(value, path);
    Device device;
    device.id = reader.string("id");
    device.name = reader.string("name");
    device.type = reader.string("type");
    device.imageFilename = reader.optionalString("imageFilename");
    device.buttons = reader.decodeList<DeviceButton>("buttons");
    return device;
}

size_t qHash(const Device& device, size_t seed) noexcept
{
    seed = qHashMulti(seed, device.id, device.name, device.type);
    seed = device.imageFilename ? qHashMulti(seed, 1, *device.imageFilename) : qHashMulti(seed, 0);
    return qHashMulti(seed, device.buttons.size(), device.buttons);
}

} // namespace velmor
