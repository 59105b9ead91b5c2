#include "platform/hid/Device.h"

#include <atomic>
#include <cmath>

namespace velmor::hid {

namespace {
std::atomic<std::uint64_t> nextHandleId{1};
} // namespace

Device::Device()
    : handleId_{nextHandleId.fetch_add(1)}
{
}

bool holdsNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

std::optional<std::int64_t> Device::integerProperty(const QString& key) const
{
    const QVariant value = property(key);
    if (!holdsNumber(value))
        return std::nullopt;
    if (value.typeId() != QMetaType::Double && value.typeId() != QMetaType::Float)
        return value.toLongLong();
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::abs(number) >= 9.2e18)
        return std::nullopt;
    return static_cast<std::int64_t>(number);
}

std::optional<QString> Device::stringProperty(const QString& key) const
{
    const QVariant value = property(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

} // namespace velmor::hid
