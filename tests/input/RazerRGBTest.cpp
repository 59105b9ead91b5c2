#include "input/RazerRGB.h"

#include <gtest/gtest.h>

using namespace velmor;

TEST(RazerRGB, FeatureReportIsByteExact)
{
    // Header and colour (bytes 0 to 16), 70 zero bytes (17 to 86), the check
    // byte (87: XOR of bytes 3 to 86, so r ^ g ^ b), two zero bytes.
    const auto expected = [](const char* colour, const char* check) {
        return QByteArray::fromHex(QByteArray("003F000000090F0201050100" "0001") + colour + QByteArray(140, '0')
                                   + check + "0000");
    };
    EXPECT_EQ(RazerRGB({0x78, 0x00, 0xD1}).featureReport().toHex(' '), expected("7800D1", "A9").toHex(' '));
    EXPECT_EQ(RazerRGB({0x12, 0x34, 0x56}).featureReport().toHex(' '), expected("123456", "70").toHex(' '));
    EXPECT_EQ(RazerRGB({0, 0, 0}).featureReport().toHex(' '), expected("000000", "00").toHex(' '));
    EXPECT_EQ(RazerRGB({0xFF, 0xFF, 0xFF}).featureReport().size(), 90);
}
