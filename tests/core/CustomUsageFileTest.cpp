#include "core/CustomUsageFile.h"

#include "platform/Json.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace velmor {
namespace {

TEST(CustomUsageFileTest, UsageKeysAreCutTo32BitsAndRefuseNegativeOrHugeParts)
{
    EXPECT_EQ(CustomUsageFile::usageKey(0x000C, 0x00E9), 0x000C00E9u);
    EXPECT_EQ(CustomUsageFile::usageKey(0x10000, 0), 0u);
    EXPECT_EQ(CustomUsageFile::usageKey(0xFFFF, 0xFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(CustomUsageFile::usageKey(0, 0xFFFFFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(CustomUsageFile::usageKey(-1, 1), std::nullopt);
    EXPECT_EQ(CustomUsageFile::usageKey(1, 0x100000000), std::nullopt);
}

TEST(CustomUsageFileTest, UsageKeyTextIsUpperCaseHexPaddedToFourDigits)
{
    EXPECT_EQ(CustomUsageFile::usageKeyText(0x0005), "0005");
    EXPECT_EQ(CustomUsageFile::usageKeyText(0x000C00E9), "C00E9");
    EXPECT_EQ(CustomUsageFile::usageKeyText(0x00090001), "90001");
    EXPECT_EQ(CustomUsageFile::usageKeyText(0xFF000001), "FF000001");
    EXPECT_EQ(CustomUsageFile::usageKeyText(0), "0000");
}

TEST(CustomUsageFileTest, UsageKeyParsingAcceptsSignsAndEitherCaseOnly)
{
    EXPECT_EQ(CustomUsageFile::parseUsageKey("c00e9"), 0x000C00E9u);
    EXPECT_EQ(CustomUsageFile::parseUsageKey("+C00E9"), 0x000C00E9u);
    EXPECT_EQ(CustomUsageFile::parseUsageKey("-0"), 0u);
    EXPECT_EQ(CustomUsageFile::parseUsageKey("00000000FFFFFFFF"), 0xFFFFFFFFu);
    for (const char* bad : {"", "+", "-", "-1", "zz", "0x10", "100000000", " 10", "10 ", "1-2"})
        EXPECT_EQ(CustomUsageFile::parseUsageKey(QString::fromLatin1(bad)), std::nullopt) << bad;
}

TEST(CustomUsageFileTest, DeviceKeysNeedExactlyTwoDecimalPieces)
{
    EXPECT_EQ(CustomUsageFile::deviceKeyText({5426, 555}), "5426-555");
    EXPECT_EQ(CustomUsageFile::parseDeviceKey("5426-555"), (VendorProduct{5426, 555}));
    EXPECT_EQ(CustomUsageFile::parseDeviceKey("5426-0555"), (VendorProduct{5426, 555}));
    EXPECT_EQ(CustomUsageFile::parseDeviceKey("+12-34"), (VendorProduct{12, 34}));
    // Empty pieces fall away, so extra separators do not matter.
    EXPECT_EQ(CustomUsageFile::parseDeviceKey("-12--34-"), (VendorProduct{12, 34}));
    for (const char* bad : {"12-34-56", "abc-1", "12", "", "-", "1-0x2", "1- 2", "1-99999999999999999999"})
        EXPECT_EQ(CustomUsageFile::parseDeviceKey(QString::fromLatin1(bad)), std::nullopt) << bad;
}

TEST(CustomUsageFileTest, EncodesCompactObjectOfDeviceKeysAndUsageKeys)
{
    CustomUsageMap map;
    map[{2321, 3100}][0x00090001] = "Pedal";
    map[{2321, 3100}][0x0005] = "";
    const QByteArray bytes = CustomUsageFile::encode(map);
    EXPECT_EQ(bytes, R"({"2321-3100":{"0005":"","90001":"Pedal"}})");
    EXPECT_EQ(CustomUsageFile::decode(bytes), map);
}

TEST(CustomUsageFileTest, DecodingSkipsMalformedKeysAndKeepsTheRest)
{
    const CustomUsageMap map = CustomUsageFile::decode(R"({
        "12-34-56": {"1": "a"}, "abc-1": {"1": "b"}, "+12-34": {"c00e9": "Mute", "zz": "x", "": "y"},
        "7-8": {}
    })");
    CustomUsageMap expected;
    expected[{12, 34}][0x000C00E9] = "Mute";
    expected[{7, 8}];
    EXPECT_EQ(map, expected);
    // Read back, a lower-case key is written upper-case.
    EXPECT_EQ(CustomUsageFile::encode(map), R"({"12-34":{"C00E9":"Mute"},"7-8":{}})");
}

TEST(CustomUsageFileTest, DocumentsOfTheWrongShapeFailWhole)
{
    for (const char* bad : {"", "{", "[]", R"({"1-2": []})", R"({"1-2": {"1": 5}})", R"({"x": {"1": null}})"})
        EXPECT_THROW(CustomUsageFile::decode(bad), json::DecodeError) << bad;
}

} // namespace
} // namespace velmor
