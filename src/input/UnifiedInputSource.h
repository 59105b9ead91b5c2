#pragma once

#include "input/DeviceInputSource.h"
#include "input/HIDDeviceInputSource.h"
#include "input/MockDeviceInputSource.h"

#include <memory>
#include <vector>

namespace velmor {

// The one input source the rest of the system sees. It owns the hardware
// source and the mock source and republishes their active device and connected
// devices: the hardware always, the mock only while no template device of the
// hardware is connected. Events, log lines and raw samples are not passed on:
// the core installs its callbacks on all three sources. Main thread.
class UnifiedInputSource final : public DeviceInputSource {
public:
    explicit UnifiedInputSource(bool isFreshInstall);

    const QList<Device>& devices() const override { return devices_; }
    const Published<Device>& activeDevice() const override { return activeDevice_; }
    void setActiveDevice(const Device& device) override { activeDevice_.set(device); }
    const Published<QList<ConnectedDeviceInfo>>& connectedDevices() const override { return connectedDevices_; }
    // One of the built-in templates by id; otherwise whatever the mock source
    // makes of the id.
    void selectDevice(const QString& id) override;
    void start() override {}

    HIDDeviceInputSource& hidSource() { return *hidSource_; }
    MockDeviceInputSource& mockSource() { return *mockSource_; }

    HIDDeviceInputSource::RawSampleHandler onRawHIDEvent;

private:
    const QList<Device> devices_;
    Published<Device> activeDevice_;
    Published<QList<ConnectedDeviceInfo>> connectedDevices_;
    const std::unique_ptr<MockDeviceInputSource> mockSource_;
    const std::shared_ptr<HIDDeviceInputSource> hidSource_;
    // Declared last: ended first, so no delivery reaches a half-destroyed source.
    std::vector<Subscription> cancellables_;
};

} // namespace velmor
