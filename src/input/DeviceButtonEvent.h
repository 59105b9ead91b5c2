#pragma once

#include <QString>
#include <QUuid>

namespace velmor {

// The press or release of one device button: the one event an input source
// hands to the core. Every event is distinct, even with equal contents, so it
// has an identity and no equality.
struct DeviceButtonEvent {
    QUuid id = QUuid::createUuid();
    // Template id of the device, e.g. "tartarus_v2".
    QString deviceId;
    // Button id within that template, e.g. "WHEEL_UP".
    QString buttonId;
    bool isPressed = false;
    // The button may repeat its tool's shortcut while held.
    bool supportsHoldRepeat = false;
};

} // namespace velmor
