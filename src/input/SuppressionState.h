#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <cstdint>

namespace velmor {

// What the factory-output suppression knows. The HID source keeps it on its
// suppression queue; the value path, the device life cycle and the event tap
// read and write it only there.
struct SuppressionState {
    // Device id to the ids of its buttons that have a mapping.
    QHash<QString, QSet<QString>> mappedButtonsByDevice;
    // The next keypad key event is dropped even without a fresh deadline.
    bool suppressionPrimePending = false;
    // Key code to deadline, uptime in nanoseconds.
    QHash<std::uint16_t, std::uint64_t> suppressionKeyTimestamps;
    // Mouse button (0 left, 1 right) to deadline, uptime in nanoseconds.
    QHash<int, std::uint64_t> speechMikeMouseTimestamps;
};

} // namespace velmor
