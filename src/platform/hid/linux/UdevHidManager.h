#pragma once

#include "platform/hid/Manager.h"

#include <memory>

namespace velmor::hid {

// The HID manager of Linux: finds hidraw nodes through udev (enumeration, then
// a monitor for arrivals and removals), makes one HidrawDevice per matching
// node and reads its input reports, all on the main loop. Without a running
// udev daemon the monitor listens to the kernel's own device events.
//
// A node whose read fails with ENODEV or EIO counts as removed, even before
// the removal event arrives. Lives on the main thread.
class UdevHidManager final : public Manager {
public:
    UdevHidManager();
    ~UdevHidManager() override;
    UdevHidManager(const UdevHidManager&) = delete;
    UdevHidManager& operator=(const UdevHidManager&) = delete;

    void setDeviceMatching(const QList<Match>& matches) override;
    void setDeviceMatchedCallback(DeviceCallback callback) override;
    void setDeviceRemovedCallback(DeviceCallback callback) override;
    void setInputValueCallback(ValueCallback callback) override;

    Result open() override;
    Result close() override;
    void scheduleWithMainLoop() override;
    void unscheduleFromMainLoop() override;

    // Makes Manager::create() return managers of this backend: the application
    // calls it at start-up; tests keep the scripted backend.
    static void installAsDefault();

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace velmor::hid
