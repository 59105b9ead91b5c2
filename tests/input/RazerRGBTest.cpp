#include "input/RazerRGB.h"

#include <gtest/gtest.h>

using namespace velmor;

namespace {

// The whole 90-byte report, written out: header and colour (bytes 0 to 16),
// 70 zero bytes (17 to 86), the check byte (87), two zero bytes.
QByteArray expectedReport(const char* colourHex, const char* checkHex)
{
    const QByteArray hex = QByteArray("003F0000" "00090F02" "01050100" "0001") + colourHex + QByteArray(70 * 2, '0')
        + checkHex + "0000";
    return QByteArray::fromHex(hex);
}

} // namespace

TEST(RazerRGB, FeatureReportIsByteExactForEveryColour)
{
    struct Case {
        RazerRGB colour;
        const char* colourHex;
        const char* checkHex;
    };
    for (const Case& c : {Case{{0x78, 0x00, 0xD1}, "7800D1", "A9"}, Case{{0x12, 0x34, 0x56}, "123456", "70"},
                          Case{{0, 0, 0}, "000000", "00"}, Case{{0xFF, 0xFF, 0xFF}, "FFFFFF", "FF"},
                          Case{{0x00, 0xB0, 0x50}, "00B050", "E0"}}) {
        const QByteArray report = c.colour.featureReport();
        ASSERT_EQ(report.size(), 90);
        EXPECT_EQ(report.toHex(' ').toUpper(), expectedReport(c.colourHex, c.checkHex).toHex(' ').toUpper())
            << c.colourHex;
    }
}

TEST(RazerRGB, CheckByteIsTheXorOfBytesThreeToEightySix)
{
    for (const RazerRGB colour : {RazerRGB{1, 2, 4}, RazerRGB{0x80, 0x80, 0x01}, RazerRGB{0xAA, 0x55, 0x0F}}) {
        const QByteArray report = colour.featureReport();
        std::uint8_t check = 0;
        for (int i = 3; i <= 86; ++i)
            check ^= static_cast<std::uint8_t>(report[i]);
        EXPECT_EQ(static_cast<std::uint8_t>(report[87]), check);
        EXPECT_EQ(check, colour.r ^ colour.g ^ colour.b);
    }
}

TEST(RazerRGB, HexIsUpperCaseRedFirst)
{
    EXPECT_EQ((RazerRGB{0x78, 0x00, 0xD1}).hex(), QStringLiteral("#7800D1"));
    EXPECT_EQ((RazerRGB{0x0a, 0xbc, 0x01}).hex(), QStringLiteral("#0ABC01"));
}
