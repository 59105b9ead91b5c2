#include "input/TartarusTables.h"

namespace velmor {

const QHash<std::uint32_t, QString>& tartarusUsageMap()
{
    static const QHash<std::uint32_t, QString> map{
        {0x7001E, QStringLiteral("K01")},       {0x7001F, QStringLiteral("K02")},
        {0x70020, QStringLiteral("K03")},       {0x70021, QStringLiteral("K04")},
        {0x70022, QStringLiteral("K05")},       {0x7002B, QStringLiteral("K06")},
        {0x70014, QStringLiteral("K07")},       {0x7001A, QStringLiteral("K08")},
        {0x70008, QStringLiteral("K09")},       {0x70015, QStringLiteral("K10")},
        {0x70039, QStringLiteral("K11")},       {0x70004, QStringLiteral("K12")},
        {0x70016, QStringLiteral("K13")},       {0x70007, QStringLiteral("K14")},
        {0x70009, QStringLiteral("K15")},       {0x700E1, QStringLiteral("K16")},
        {0x7001D, QStringLiteral("K17")},       {0x7001B, QStringLiteral("K18")},
        {0x70006, QStringLiteral("K19")},       {0x7002C, QStringLiteral("K20")},
        {0x700E2, QStringLiteral("THUMB_KEY")}, {0x70052, QStringLiteral("DPAD_UP")},
        {0x7004F, QStringLiteral("DPAD_RIGHT")}, {0x70051, QStringLiteral("DPAD_DOWN")},
        {0x70050, QStringLiteral("DPAD_LEFT")}, {0x90003, QStringLiteral("WHEEL_PRESS")},
    };
    return map;
}

const QHash<std::uint32_t, std::uint16_t>& tartarusUsageToKeycode()
{
    static const QHash<std::uint32_t, std::uint16_t> map{
        {0x1E, 18}, {0x1F, 19}, {0x20, 20}, {0x21, 21}, {0x22, 23},  {0x2B, 48},  {0x14, 12},
        {0x1A, 13}, {0x08, 14}, {0x15, 15}, {0x39, 57}, {0x04, 0},   {0x16, 1},   {0x07, 2},
        {0x09, 3},  {0xE1, 56}, {0x1D, 6},  {0x1B, 7},  {0x06, 8},   {0x2C, 49},  {0xE2, 58},
        {0x52, 126}, {0x4F, 124}, {0x51, 125}, {0x50, 123},
    };
    return map;
}

const QSet<std::uint16_t>& tartarusKeycodes()
{
    static const QSet<std::uint16_t> codes = [] {
        QSet<std::uint16_t> set;
        for (const std::uint16_t code : tartarusUsageToKeycode())
            set.insert(code);
        return set;
    }();
    return codes;
}

} // namespace velmor
