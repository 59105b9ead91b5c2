#include "input/MockDeviceInputSource.h"

#include <algorithm>

namespace velmor {

MockDeviceInputSource::MockDeviceInputSource(QList<Device> devices)
    : devices_(std::move(devices))
    , activeDevice_(devices_.isEmpty() ? Device::tartarusTemplate() : devices_.first())
    , connectedDevices_({pseudoDevice(activeDevice_.get().id)})
{
}

void MockDeviceInputSource::selectDevice(const QString& id)
{
    const auto it = std::find_if(devices_.begin(), devices_.end(), [&](const Device& d) { return d.id == id; });
    if (it == devices_.end())
        return;
    activeDevice_.set(*it);
    connectedDevices_.set({pseudoDevice(it->id)});
}

ConnectedDeviceInfo MockDeviceInputSource::pseudoDevice(const QString& templateId)
{
    return ConnectedDeviceInfo{0, 0, QStringLiteral("Mock Input"), templateId, false};
}

} // namespace velmor
