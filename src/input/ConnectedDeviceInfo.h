#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace velmor {

// One connected device as the user interface shows it.
struct ConnectedDeviceInfo {
    std::int64_t vendorId = 0;
    std::int64_t productId = 0;
    std::optional<QString> productName;
    // The built-in template the device was matched to.
    std::optional<QString> templateId;
    // On the ignore list: left free for other applications.
    bool ignored = false;

    // "<vendor>-<product>-<name>", decimal ids, "unknown" without a name.
    // Devices of one pair and name share it even when their other fields differ.
    QString id() const;

    bool operator==(const ConnectedDeviceInfo&) const = default;
};

size_t qHash(const ConnectedDeviceInfo& info, size_t seed = 0) noexcept;

} // namespace velmor
