#include "core/CustomUsageFile.h"

#include "platform/Json.h"

#include <gtest/gtest.h>

namespace velmor {
namespace {

TEST(CustomUsageFileTest, KeysFollowTheirTextRules)
{
    EXPECT_EQ(CustomUsageFile::usageKeyText(0x0005), "0005");
    EXPECT_EQ(CustomUsageFile::usageKeyText(0x000C00E9), "C00E9");
    EXPECT_EQ(CustomUsageFile::usageKeyText(0xFF000001), "FF000001");
    EXPECT_EQ(CustomUsageFile::parseUsageKey("+c00E9"), 0x000C00E9u);
    EXPECT_EQ(CustomUsageFile::parseUsageKey("-0"), 0u);
    EXPECT_EQ(CustomUsageFile::parseUsageKey("00000000FFFFFFFF"), 0xFFFFFFFFu);
    for (const char* bad : {"", "+", "-1", "zz", "0x10", "100000000", " 10"})
        EXPECT_EQ(CustomUsageFile::parseUsageKey(QString::fromLatin1(bad)), std::nullopt) << bad;

    EXPECT_EQ(CustomUsageFile::parseDeviceKey("5426-0555"), (VendorProduct{5426, 555}));
    // Empty pieces fall away, so extra separators do not matter.
    EXPECT_EQ(CustomUsageFile::parseDeviceKey("-12--34-"), (VendorProduct{12, 34}));
    for (const char* bad : {"12-34-56", "abc-1", "12", "1- 2", "1-99999999999999999999"})
        EXPECT_EQ(CustomUsageFile::parseDeviceKey(QString::fromLatin1(bad)), std::nullopt) << bad;
}

TEST(CustomUsageFileTest, DocumentsOfTheWrongShapeFailWhole)
{
    for (const char* bad : {"", "[]", R"({"1-2": []})", R"({"1-2": {"1": 5}})", R"({"x": {"1": null}})"})
        EXPECT_THROW(CustomUsageFile::decode(bad), json::DecodeError) << bad;
}

} // namespace
} // namespace velmor
