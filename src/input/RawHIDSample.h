#pragma once

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>

namespace velmor {

// One raw HID input value, kept for the HID inspector.
struct RawHIDSample {
    QUuid id = QUuid::createUuid();
    QDateTime timestamp;
    std::int64_t vendorId = 0;
    std::int64_t productId = 0;
    std::optional<QString> productName;
    std::int64_t usagePage = 0;
    std::int64_t usage = 0;
    std::int64_t value = 0;
    // Template id of the device, when it has one.
    std::optional<QString> deviceId;

    // All nine fields, the id first: two samples are never alike by content alone.
    bool operator==(const RawHIDSample&) const = default;
};

size_t qHash(const RawHIDSample& sample, size_t seed = 0) noexcept;

} // namespace velmor

// Moved as bytes when the inspector's capped list shifts.
Q_DECLARE_TYPEINFO(velmor::RawHIDSample, Q_RELOCATABLE_TYPE);
