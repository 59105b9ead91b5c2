#include "input/UnifiedInputSource.h"

#include <algorithm>

namespace velmor {

UnifiedInputSource::UnifiedInputSource(bool isFreshInstall)
    : devices_(Device::allTemplates())
    , mockSource_(std::make_unique<MockDeviceInputSource>(devices_))
    , hidSource_(HIDDeviceInputSource::create(isFreshInstall))
{
    activeDevice_.set(mockSource_->activeDevice().get());

    // Each delivery comes on a later turn of the main queue; the mock's values
    // pass only if, at that moment, no template device is connected.
    const auto hardwareHasTemplate = [this] { return hidSource_->connectedTemplateId().has_value(); };
    cancellables_.push_back(
        hidSource_->activeDevice().subscribeOnMain([this](const Device& device) { activeDevice_.set(device); }));
    cancellables_.push_back(hidSource_->connectedDevices().subscribeOnMain(
        [this](const QList<ConnectedDeviceInfo>& list) { connectedDevices_.set(list); }));
    cancellables_.push_back(mockSource_->connectedDevices().subscribeOnMain(
        [this, hardwareHasTemplate](const QList<ConnectedDeviceInfo>& list) {
            if (!hardwareHasTemplate())
                connectedDevices_.set(list);
        }));
    cancellables_.push_back(
        mockSource_->activeDevice().subscribeOnMain([this, hardwareHasTemplate](const Device& device) {
            if (!hardwareHasTemplate())
                activeDevice_.set(device);
        }));
}

void UnifiedInputSource::selectDevice(const QString& id)
{
    const auto it = std::find_if(devices_.begin(), devices_.end(), [&](const Device& d) { return d.id == id; });
    if (it != devices_.end()) {
        activeDevice_.set(*it);
        return;
    }
    mockSource_->selectDevice(id);
    activeDevice_.set(mockSource_->activeDevice().get());
}

} // namespace velmor
