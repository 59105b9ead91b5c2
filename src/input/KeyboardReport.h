#pragma once

#include "platform/hid/Device.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QVariant>

#include <cstdint>

namespace velmor {

// Reading the raw input reports of the Tartarus Pro's keyboard interface for
// the diagnostic log. The report layout is not known in advance, so several
// readings are tried and the one that looks most like Tartarus keys wins.

// Modifier bits of a boot keyboard report: bit b is usage 0xE0 + b.
QSet<std::uint32_t> modifierUsages(std::uint8_t byte);

// Boot layout: modifiers at `modifierIndex`, key codes from `keyStart` on
// (codes 0 to 3 mean no key or an error).
QSet<std::uint32_t> bootReportUsages(const QByteArray& report, qsizetype modifierIndex, qsizetype keyStart);

// Bitmap layout: bit b of byte i (from `start` on) is usage (i - start) * 8 + b.
QSet<std::uint32_t> bitmapReportUsages(const QByteArray& report, qsizetype start);

// How much a set of usages looks like Tartarus keys.
int keyboardReportScore(const QSet<std::uint32_t>& usages);

// The best reading: boot without report id, boot after a report id, bitmap
// from byte 1, bitmap from byte 2; a later reading wins only with a higher score.
QSet<std::uint32_t> decodeKeyboardReport(const QByteArray& report);

// "Tartarus Pro keyboard report id … len … bytes [..] usages [..]": the first 16
// bytes at most, usages ascending.
QString keyboardReportLogLine(std::uint32_t reportId, const QByteArray& report, const QSet<std::uint32_t>& usages);

// A device interface is a keyboard when its primary usage is generic desktop (1), keyboard (6).
bool isKeyboardInterface(const QVariant& primaryUsagePage, const QVariant& primaryUsage);
bool isKeyboardInterface(const hid::Device& device);

// The report buffer of the keyboard reader: the device's maximum input report
// size, at least 64 bytes.
qsizetype keyboardReportBufferLength(const QVariant& maxInputReportSize);

} // namespace velmor
