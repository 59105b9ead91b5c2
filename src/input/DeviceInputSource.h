#pragma once

#include "input/ConnectedDeviceInfo.h"
#include "input/DeviceButtonEvent.h"
#include "model/Device.h"
#include "platform/Published.h"

#include <QList>
#include <QString>

#include <functional>

namespace velmor {

// A producer of button presses. Everything here is used on the main thread:
// the published values change there and the callbacks are called there. A
// callback that is not set drops what it would have received.
class DeviceInputSource {
public:
    using EventHandler = std::function<void(const DeviceButtonEvent&)>;
    using LogHandler = std::function<void(const QString&)>;

    DeviceInputSource() = default;
    virtual ~DeviceInputSource() = default;
    DeviceInputSource(const DeviceInputSource&) = delete;
    DeviceInputSource& operator=(const DeviceInputSource&) = delete;

    // The device templates this source knows.
    virtual const QList<Device>& devices() const = 0;
    // The device shown and mapped.
    virtual const Published<Device>& activeDevice() const = 0;
    // Views may show another device this way; that has no further effect.
    virtual void setActiveDevice(const Device& device) = 0;
    // The hardware attached now.
    virtual const Published<QList<ConnectedDeviceInfo>>& connectedDevices() const = 0;

    // Makes the template with this id the active device, where the source lets
    // the user choose; a hardware source follows the hardware and ignores it.
    virtual void selectDevice(const QString& id) = 0;
    // Begins watching for devices; sources without hardware have nothing to start.
    virtual void start() = 0;

    EventHandler onEvent;
    // One diagnostic line, without time stamp.
    LogHandler onLog;
};

} // namespace velmor
