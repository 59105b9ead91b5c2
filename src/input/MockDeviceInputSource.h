#pragma once

#include "input/DeviceInputSource.h"

namespace velmor {

// An input source without hardware: the user picks any template as the active
// device, and one pseudo-device, "Mock Input", stands for the connected
// hardware. It never emits events or log lines. Main thread.
class MockDeviceInputSource final : public DeviceInputSource {
public:
    // The first device becomes active, or the keypad template when there is none.
    explicit MockDeviceInputSource(QList<Device> devices);

    const QList<Device>& devices() const override { return devices_; }
    const Published<Device>& activeDevice() const override { return activeDevice_; }
    void setActiveDevice(const Device& device) override { activeDevice_.set(device); }
    const Published<QList<ConnectedDeviceInfo>>& connectedDevices() const override { return connectedDevices_; }
    // Activates the first device with exactly this id; unknown ids change nothing.
    void selectDevice(const QString& id) override;
    void start() override {}

    static ConnectedDeviceInfo pseudoDevice(const QString& templateId);

private:
    const QList<Device> devices_;
    Published<Device> activeDevice_;
    Published<QList<ConnectedDeviceInfo>> connectedDevices_;
};

} // namespace velmor
