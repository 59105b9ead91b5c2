#include "input/SpeechMikeTables.h"

namespace velmor {

const QHash<std::uint32_t, QString>& speechMikeUsageMap()
{
    static const QHash<std::uint32_t, QString> map{
        {0x90001, QStringLiteral("BOTTOM_TRIGGER")},
        {0x90002, QStringLiteral("TOP_TRIGGER")},
    };
    return map;
}

const QHash<std::int64_t, QString>& speechMikeValueMap()
{
    const auto bit = [](int n) { return static_cast<std::int64_t>(std::uint64_t{1} << n); };
    static const QHash<std::int64_t, QString> map{
        {bit(63), QStringLiteral("INFO")},        {bit(62), QStringLiteral("INS_OVR")},
        {bit(61), QStringLiteral("EOL")},         {bit(60), QStringLiteral("REW")},
        {bit(59), QStringLiteral("FWD")},         {bit(58), QStringLiteral("PLAY_PAUSE")},
        {bit(56), QStringLiteral("REC")},         {bit(53), QStringLiteral("TOP_TRIGGER")},
        {bit(52), QStringLiteral("F4")},          {bit(51), QStringLiteral("F3")},
        {bit(50), QStringLiteral("F2")},          {bit(49), QStringLiteral("F1")},
    };
    return map;
}

} // namespace velmor
