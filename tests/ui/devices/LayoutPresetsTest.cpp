#include "ui/devices/LayoutPresets.h"

#include <gtest/gtest.h>

using namespace velmor;

namespace {

TEST(LayoutPresetsTest, PreviewFitsThePresetsShapeAndSizeFieldsTakeOnlyTheSizeRange)
{
    const QSizeF space(120, 44);
    const QSizeF tall = presetPreviewSize({"Tall", 0.05, 0.15}, space);
    EXPECT_NEAR(tall.width(), 44.0 / 3, 1e-9);
    EXPECT_DOUBLE_EQ(tall.height(), 44);
    EXPECT_EQ(presetPreviewSize({"Wide", 0.15, 0.05}, space), QSizeF(120, 40));
    EXPECT_EQ(presetPreviewSize({"Square", 0.1, 0.1}, space), QSizeF(44, 44));
    EXPECT_EQ(presetPreviewSize({"Broken", 0.1, 0}, space), QSizeF(44, 44)) << "a broken ratio draws a square";
    EXPECT_EQ(presetPreviewSize({"Very wide", 0.5, 0.05}, space), QSizeF(120, 12));
    EXPECT_EQ(LayoutSizePreset({"M", 0.1, 0.222}).sizeText(), "0.100 x 0.222");

    const SizeFormatter formatter{QLocale::c()};
    EXPECT_EQ(formatter.format(0.1), "0.10");
    EXPECT_EQ(formatter.format(0.1656), "0.166");
    EXPECT_EQ(formatter.parse(" 0.04 "), 0.04);
    EXPECT_EQ(formatter.parse("0.5"), 0.5);
    for (const char* rejected : {"0.0399", "0.501", "", "abc", "nan", "inf"})
        EXPECT_EQ(formatter.parse(rejected), std::nullopt) << rejected;
}

} // namespace
