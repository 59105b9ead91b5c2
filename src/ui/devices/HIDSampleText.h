#pragma once

#include "input/ConnectedDeviceInfo.h"
#include "input/RawHIDSample.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>

namespace velmor {

// The texts the HID inspector shows and copies for devices and raw samples.
// Ids are written as a C "%X" writes an int (the low 32 bits); values in full.
namespace hidtext {

// "VID 0x1532 PID 0x022B"
QString deviceIds(const ConnectedDeviceInfo& device);
// The product name, or "Unknown".
QString deviceName(const ConnectedDeviceInfo& device);
// "Page 0x0C Usage 0x00E9"
QString sampleUsage(const RawHIDSample& sample);
// "Value -1"
QString sampleValue(const RawHIDSample& sample);
// The time of day in hours and minutes, local time, in the user's locale.
QString shortTime(const QDateTime& timestamp);
// Hours, minutes and seconds, local time, in the user's locale (no time zone).
QString mediumTime(const QDateTime& timestamp);
// (page << 16) | usage in 32 bits: the page's high bits fall off.
std::uint32_t usageKey(std::int64_t usagePage, std::int64_t usage);

using TimeFormatter = std::function<QString(const QDateTime&)>;
// One copied line: "<time> vid:0x… pid:0x… page:0x… usage:0x… usageKey:0x… value:… device:…".
QString logLine(const RawHIDSample& sample, const TimeFormatter& formatter);
// "Selected: VID 0x… PID 0x… Page 0x… Usage 0x… Value …"
QString selectedLine(const RawHIDSample& sample);

} // namespace hidtext
} // namespace velmor
