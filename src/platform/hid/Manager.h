#pragma once

#include "platform/hid/Device.h"

#include <QList>

#include <cstdint>
#include <functional>
#include <memory>

namespace velmor::hid {

// One vendor/product pair a manager looks for.
struct Match {
    std::int64_t vendorId = 0;
    std::int64_t productId = 0;
    bool operator==(const Match&) const = default;
};

// Finds the devices that match any of its pairs and reports them, and every
// value they send, on the main loop.
//  - Matched: once scheduled, for each matching device present, then for each
//    that arrives. Removed: for each matched device that leaves.
//  - Input values of every matched device reach the value callback while the
//    manager is open and scheduled.
// Matching pairs are set before scheduling; later changes apply to arrivals.
class Manager {
public:
    using DeviceCallback = std::function<void(const std::shared_ptr<Device>&)>;
    using ValueCallback = Device::ValueCallback;
    using Factory = std::function<std::unique_ptr<Manager>()>;

    virtual ~Manager() = default;

    virtual void setDeviceMatching(const QList<Match>& matches) = 0;
    // An empty callback unregisters.
    virtual void setDeviceMatchedCallback(DeviceCallback callback) = 0;
    virtual void setDeviceRemovedCallback(DeviceCallback callback) = 0;
    virtual void setInputValueCallback(ValueCallback callback) = 0;

    virtual Result open() = 0;
    virtual Result close() = 0;
    virtual void scheduleWithMainLoop() = 0;
    virtual void unscheduleFromMainLoop() = 0;

    // A new manager from the process-wide factory.
    static std::unique_ptr<Manager> create();
    // An empty factory restores the default.
    static void setFactory(Factory factory);
};

} // namespace velmor::hid
