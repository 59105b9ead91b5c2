#include "model/HexColor.h"

#include <gtest/gtest.h>

using namespace velmor;

TEST(HexColor, WritesTruncatedUpperCaseAndReadsSixDigitsWithOptionalHashAndSpaceElseFallsBack)
{
    EXPECT_EQ(hexString(QColor::fromRgbF(0.5f, 0.0f, 1.0f)), QStringLiteral("#7F00FF")); // 127.5 truncates
    EXPECT_EQ(hexString(QColor::fromHsv(120, 255, 255)), QStringLiteral("#00FF00"));
    EXPECT_EQ(hexString(QColor()), std::nullopt);

    EXPECT_EQ(parseHexColor(QStringLiteral(" #aF12Bc\n")), (RgbBytes{0xAF, 0x12, 0xBC}));
    EXPECT_EQ(parseHexColor(QStringLiteral("ffffff")), (RgbBytes{255, 255, 255}));
    for (const char* bad : {"", "   ", "#", "#12345", "#1234567", "##12345", "#GG0000", "+12345", "-12345",
                            "0x1234", "12 345", "#12345\xC3\xA9"})
        EXPECT_EQ(parseHexColor(QString::fromUtf8(bad)), std::nullopt) << bad;
    EXPECT_EQ(parseHexColor(std::nullopt), std::nullopt);
    // Full-width digits are digits to Unicode but not hexadecimal text.
    EXPECT_EQ(parseHexColor(QStringLiteral("１２３４５６")), std::nullopt);

    EXPECT_EQ(colorFromHex(QStringLiteral("#102030"), QStringLiteral("#00B050")), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(colorFromHex(QStringLiteral("nope"), QStringLiteral("#00B050")), QColor(0x00, 0xB0, 0x50));
    EXPECT_EQ(colorFromHex(std::nullopt, QStringLiteral("bad")), QColor(Qt::white));
}
