#pragma once

#include <QHash>
#include <QString>

#include <cstdint>

namespace velmor {

// The usage key of an element: usage page in the high 16 bits, usage in the low
// 16, in 32-bit arithmetic (whatever a device reports, bits shifted out are dropped).
inline constexpr std::uint32_t usageKeyOf(std::uint32_t usagePage, std::uint32_t usage)
{
    return (usagePage << 16) | usage;
}

// What a usage of a device stands for on its template.
struct ResolvedButtonId {
    QString buttonId;
    // Nothing names the usage: the id is "USAGE_" and the usage key, and the
    // user should be told to name it.
    bool unknownUsage = false;
};

inline const QString unmappedButtonId = QStringLiteral("UNMAPPED");

// "UNMAPPED" or a "USAGE_" id: a usage nothing names.
bool isUnnamedButtonId(const QString& buttonId);
// Only templates of user-described devices ("hid_…") take unnamed ids as buttons.
bool acceptsUnnamedButtonIds(const QString& templateId);

// The button a pressed usage stands for, first hit wins: the user's names for
// the device's usages (`customUsages`, null when it has none); for the
// SpeechMike its trigger table, then its status-word table (a status word that
// names no single button is "UNMAPPED"); the keypad table, whatever the device.
// `value` is the masked value; it only matters for SpeechMike status words.
ResolvedButtonId resolveButtonId(const QHash<std::uint32_t, QString>* customUsages, std::uint32_t usageKey,
                                 std::int64_t value, bool isSpeechMike);

} // namespace velmor
