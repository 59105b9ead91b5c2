#pragma once

#include <QHash>
#include <QString>

#include <cstdint>

namespace velmor {

// The SpeechMike reports its two triggers as buttons (page 9) and every other
// button as one 64-bit status word on two vendor usages, one bit per button.
const QHash<std::uint32_t, QString>& speechMikeUsageMap();

// A status word, once masked, with exactly one button bit set.
const QHash<std::int64_t, QString>& speechMikeValueMap();

// Status bits (26, 29 and 34) that are not buttons; cleared before the look-up.
inline constexpr std::int64_t speechMikeStatusMask = 0x424000000;

inline constexpr bool isSpeechMikeStatusUsage(std::uint32_t usageKey)
{
    return usageKey == 0xFFA10003u || usageKey == 0xFFA10004u;
}

} // namespace velmor
