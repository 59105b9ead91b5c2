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
    if (defaults.isEmpty())
        return;

    QList<UserProfile> profiles = profileStore_->userProfiles.get();
    const auto profile =
        std::find_if(profiles.begin(), profiles.end(), [&](const UserProfile& p) { return p.id == userId; });
    if (profile == profiles.end())
        return;

    // Only buttons the user has not mapped get their default; the user's own
    // mappings stay, whatever tool they name.
    QSet<QString> mapped;
    for (const ButtonMapping& mapping : profile->mappings)
        if (mapping.deviceId == deviceId)
            mapped.insert(mapping.buttonId);
    QList<ButtonMapping> added;
    for (const ButtonMapping& fallback : defaults) {
        if (mapped.contains(fallback.buttonId))
            continue;
        // A later default of the same button wins, as it would over an earlier one.
        added.removeIf([&](const ButtonMapping& m) { return m.buttonId == fallback.buttonId; });
        added.append(ButtonMapping{QUuid::createUuid(), deviceId, fallback.buttonId, fallback.toolId});
    }
    if (added.isEmpty())
        return;

    profile->mappings.append(added);
    profileStore_->userProfiles.set(std::move(profiles));
    profileStore_->save();
}

void AppModel::ensureDefaultMappingsForConnectedDevices()
{
    QSet<QString> deviceIds;
    for (const ConnectedDeviceInfo& info : connectedDevices.get())
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
    for (const ConnectedDeviceInfo& info : connectedDevices.get())
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
