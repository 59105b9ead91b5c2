#pragma once

#include <QJsonValue>
#include <QString>

#include <optional>

namespace velmor {

// What sort of control a device button is; stored as its text ("key", "dpad", …).
enum class DeviceButtonKind { key, button, dpad, wheel, jog };

QString deviceButtonKindText(DeviceButtonKind kind);
// Only an exact, case-sensitive match of one of the five texts.
std::optional<DeviceButtonKind> deviceButtonKindFromText(const QString& text);

QJsonValue toJson(DeviceButtonKind kind);
// Throws json::DecodeError unless `value` is one of the five texts.
DeviceButtonKind deviceButtonKindFromJson(const QJsonValue& value, const QString& path = {});

size_t qHash(DeviceButtonKind kind, size_t seed = 0) noexcept;

} // namespace velmor
