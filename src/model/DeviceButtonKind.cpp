#include "model/DeviceButtonKind.h"

#include "platform/Json.h"

#include <QHashFunctions>

#include <array>
#include <utility>

namespace velmor {

namespace {
constexpr std::array<std::pair<DeviceButtonKind, const char*>, 5> kTexts{{
    {DeviceButtonKind::key, "key"},
    {DeviceButtonKind::button, "button"},
    {DeviceButtonKind::dpad, "dpad"},
    {DeviceButtonKind::wheel, "wheel"},
    {DeviceButtonKind::jog, "jog"},
}};
} // namespace

QString deviceButtonKindText(DeviceButtonKind kind)
{
    for (const auto& [k, text] : kTexts) {
        if (k == kind)
            return QLatin1String(text);
    }
    return {};
}

std::optional<DeviceButtonKind> deviceButtonKindFromText(const QString& text)
{
    for (const auto& [kind, name] : kTexts) {
        if (text == QLatin1String(name))
            return kind;
    }
    return std::nullopt;
}

QJsonValue toJson(DeviceButtonKind kind) { return deviceButtonKindText(kind); }

DeviceButtonKind deviceButtonKindFromJson(const QJsonValue& value, const QString& path)
{
    const QString text = json::toString(value, path);
    const auto kind = deviceButtonKindFromText(text);
    if (!kind)
        json::fail(path, QStringLiteral("unknown button kind \"%1\"").arg(text.left(64)));
    return *kind;
}

size_t qHash(DeviceButtonKind kind, size_t seed) noexcept { return qHash(deviceButtonKindText(kind), seed); }

} // namespace velmor
