#include "ui/devices/HIDSampleText.h"

#include "ui/shared/TimeText.h"

namespace velmor::hidtext {

namespace {
// What "%0NX" makes of an int argument.
QString hex(std::int64_t value, int digits)
{
    return QString::number(static_cast<std::uint32_t>(value), 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}
} // namespace

QString deviceIds(const ConnectedDeviceInfo& device)
{
    return QStringLiteral("VID 0x") + hex(device.vendorId, 4) + QStringLiteral(" PID 0x") + hex(device.productId, 4);
}

QString deviceName(const ConnectedDeviceInfo& device) { return device.productName.value_or(QStringLiteral("Unknown")); }

QString sampleUsage(const RawHIDSample& sample)
{
    return QStringLiteral("Page 0x") + hex(sample.usagePage, 2) + QStringLiteral(" Usage 0x") + hex(sample.usage, 4);
}

QString sampleValue(const RawHIDSample& sample) { return QStringLiteral("Value ") + QString::number(sample.value); }

QString shortTime(const QDateTime& timestamp) { return timeText::hoursMinutes(timestamp); }

QString mediumTime(const QDateTime& timestamp) { return timeText::withSeconds(timestamp); }

std::uint32_t usageKey(std::int64_t usagePage, std::int64_t usage)
{
    return (static_cast<std::uint32_t>(usagePage) << 16) | static_cast<std::uint32_t>(usage);
}

QString logLine(const RawHIDSample& sample, const TimeFormatter& formatter)
{
    return formatter(sample.timestamp) + QStringLiteral(" vid:0x") + hex(sample.vendorId, 4) + QStringLiteral(" pid:0x")
        + hex(sample.productId, 4) + QStringLiteral(" page:0x") + hex(sample.usagePage, 4) + QStringLiteral(" usage:0x")
        + hex(sample.usage, 4) + QStringLiteral(" usageKey:0x") + hex(usageKey(sample.usagePage, sample.usage), 8)
        + QStringLiteral(" value:") + QString::number(sample.value) + QStringLiteral(" device:")
        + sample.deviceId.value_or(QStringLiteral("unknown"));
}

QString selectedLine(const RawHIDSample& sample)
{
    return QStringLiteral("Selected: VID 0x") + hex(sample.vendorId, 4) + QStringLiteral(" PID 0x")
        + hex(sample.productId, 4) + QStringLiteral(" Page 0x") + hex(sample.usagePage, 2) + QStringLiteral(" Usage 0x")
        + hex(sample.usage, 4) + QStringLiteral(" Value ") + QString::number(sample.value);
}

} // namespace velmor::hidtext
