// Device selection, default mappings, mapped buttons and keypad lighting.
#include "core/AppModel.h"

#include "input/RazerRGB.h"
#include "input/UnifiedInputSource.h"
#include "model/HexColor.h"
#include "model/ProfileTemplates.h"
#include "store/ProfileStore.h"

#include <QSet>

#include <algorithm>

namespace velmor {

void AppModel::ensureDefaultMappings(const QString& deviceId)
{
    const QUuid userId = profileStore_->activeUserProfile().id;
    const PacsProfile pacs = activePacsProfile();
    const QList<ButtonMapping> defaults = ProfileTemplates::defaultMappings(pacs.name, pacs.tools, deviceId);
    profileStore_->fillUnmappedButtons(deviceId, defaults, userId);
}

void AppModel::ensureDefaultMappingsForConnectedDevices()
{
    QSet<QString> deviceIds;
    for (const ConnectedDeviceInfo& info : connectedDevices_.get())
        if (info.templateId)
            deviceIds.insert(*info.templateId);
    deviceIds.insert(inputSource_->activeDevice().get().id);
    for (const QString& deviceId : deviceIds)
        ensureDefaultMappings(deviceId);
}

void AppModel::pushMappedButtons()
{
    QHash<QString, QSet<QString>> mapped;
    for (const ButtonMapping& mapping : profileStore_->activeUserProfile().mappings)
        mapped[mapping.deviceId].insert(mapping.buttonId);
    inputSource_->hidSource().setMappedButtons(std::move(mapped));
}

void AppModel::applyKeypadLighting()
{
    const UserProfile user = profileStore_->activeUserProfile();
    const PacsProfile pacs = activePacsProfile();
    std::optional<QString> hex = user.lightingHex;
    if (!hex)
        hex = pacs.defaultLightingHex;
    if (!hex)
        hex = ProfileTemplates::defaultLightingHex(pacs.name);

    std::optional<RazerRGB> colour;
    if (const std::optional<RgbBytes> rgb = parseHexColor(hex))
        colour = RazerRGB{rgb->red, rgb->green, rgb->blue};
    inputSource_->hidSource().setLighting(colour);
}

QList<Device> AppModel::availableDevices() const
{
    QSet<QString> ids;
    for (const ConnectedDeviceInfo& info : connectedDevices_.get())
        if (!info.ignored && info.templateId)
            ids.insert(*info.templateId);
    // In the order of the built-in templates, so menus do not reshuffle.
    QList<Device> devices;
    for (const Device& device : Device::builtInTemplates())
        if (ids.contains(device.id))
            devices.append(device);
    return devices;
}

void AppModel::selectDevice(const QString& id)
{
    const QList<Device> devices = availableDevices();
    if (std::none_of(devices.begin(), devices.end(), [&](const Device& device) { return device.id == id; }))
        return;
    inputSource_->selectDevice(id);
    profileStore_->setSelectedDeviceId(id, profileStore_->activeUserProfile().id);
}

} // namespace velmor
