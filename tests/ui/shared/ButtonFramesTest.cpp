#include "ui/shared/ButtonFrames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velmor {
namespace {

void expectRect(const NormalizedRect& actual, double x, double y, double width, double height)
{
    EXPECT_DOUBLE_EQ(actual.x, x);
    EXPECT_DOUBLE_EQ(actual.y, y);
    EXPECT_DOUBLE_EQ(actual.width, width);
    EXPECT_DOUBLE_EQ(actual.height, height);
}

DeviceButton button(const QString& id, const QString& label, std::optional<NormalizedRect> frame = {})
{
    DeviceButton result;
    result.id = id;
    result.displayLabel = label;
    result.overlayFrame = frame;
    return result;
}

TEST(ButtonFramesTest, DefaultFramesFillFiveColumnsAndShareTheHeightBetweenRows)
{
    // One row up to five buttons (no buttons counts as one row).
    for (const int count : {0, 1, 2}) {
        SCOPED_TRACE(count);
        expectRect(defaultButtonFrame(0, count), 0.04, 0.04, 0.1656, 0.69);
    }
    expectRect(defaultButtonFrame(1, 2), 0.224, 0.04, 0.1656, 0.69);

    // 7 buttons: two rows of 0.46; the sixth starts the second row.
    expectRect(defaultButtonFrame(4, 7), 0.776, 0.04, 0.1656, 0.345);
    expectRect(defaultButtonFrame(5, 7), 0.04, 0.5, 0.1656, 0.345);
    expectRect(defaultButtonFrame(6, 7), 0.224, 0.5, 0.1656, 0.345);

    // 20 buttons: four rows of 0.23, the last at 0.73 and ending inside the margin.
    expectRect(defaultButtonFrame(19, 20), 0.776, 0.73, 0.1656, 0.1725);
    EXPECT_NEAR(defaultButtonFrame(19, 20).x + 0.1656, 0.9416, 1e-12);

    // 24 buttons (the keypad): five rows of 0.184.
    expectRect(defaultButtonFrame(0, 24), 0.04, 0.04, 0.1656, 0.138);
    expectRect(defaultButtonFrame(23, 24), 0.592, 0.776, 0.1656, 0.138);
    EXPECT_LE(defaultButtonFrame(23, 24).y + defaultButtonFrame(23, 24).height, 1.0);

    // An index past the count is not refused: the grid goes on below.
    expectRect(defaultButtonFrame(5, 5), 0.04, 0.96, 0.1656, 0.69);
}

TEST(ButtonFramesTest, FrameComesFromEditsThenOverridesThenOwnFrameThenGrid)
{
    const NormalizedRect own{0.1, 0.1, 0.2, 0.2};
    const NormalizedRect overridden{0.3, 0.3, 0.1, 0.1};
    const NormalizedRect edited{0.5, 0.5, 0.05, 0.05};
    Device device;
    device.id = QStringLiteral("pad");
    device.buttons = {button("A", "A", own), button("B", "B"), button("C", "C", own)};
    DeviceButtonRects overrides{{QStringLiteral("pad"), {{QStringLiteral("C"), overridden}}},
                                {QStringLiteral("other"), {{QStringLiteral("A"), overridden}}}};

    EXPECT_EQ(resolvedButtonFrame(device, 0, overrides), own) << "another device's override does not apply";
    EXPECT_EQ(resolvedButtonFrame(device, 1, overrides), defaultButtonFrame(1, 3));
    EXPECT_EQ(resolvedButtonFrame(device, 2, overrides), overridden);
    const ButtonRects edits{{QStringLiteral("C"), edited}, {QStringLiteral("B"), edited}};
    EXPECT_EQ(resolvedButtonFrame(device, 2, overrides, edits), edited);
    EXPECT_EQ(resolvedButtonFrame(device, 1, overrides, edits), edited);
}

TEST(ButtonFramesTest, CompactLabelOnlyBelowSeventyByTwentyEight)
{
    const DeviceButton thumb = button("T1", "Thumb Button");
    EXPECT_EQ(compactButtonLabel(thumb, QRectF(0, 0, 70, 28)), "Thumb Button");
    EXPECT_EQ(compactButtonLabel(thumb, QRectF(5, 5, 69.9, 28)), "Th");
    EXPECT_EQ(compactButtonLabel(thumb, QRectF(5, 5, 70, 27.9)), "Th");
    EXPECT_EQ(compactButtonLabel(button("X", "Abc"), QRectF(0, 0, 1, 1)), "Abc") << "three characters stay whole";
    EXPECT_EQ(compactButtonLabel(button("K05", "Dial"), QRectF(0, 0, 1, 1)), "05") << "four are shortened";
    EXPECT_EQ(compactButtonLabel(button("X", "中文字"), QRectF(0, 0, 1, 1)), "中文字");
}

TEST(ButtonFramesTest, CompactLabelRulesInOrder)
{
    const QRectF small(0, 0, 40, 20);
    EXPECT_EQ(compactButtonLabel(button("W1", "WHEEL ↓"), small), "W↓");
    EXPECT_EQ(compactButtonLabel(button("W2", "Wheel ↓ ↑"), small), "W↑") << "the up arrow is tried first";
    EXPECT_EQ(compactButtonLabel(button("W3", "Wheel ⦿"), small), "W⦿");
    EXPECT_EQ(compactButtonLabel(button("W4", "Scroll wheel"), small), "W");
    EXPECT_EQ(compactButtonLabel(button("K9", "Thumb wheel"), small), "W") << "wheel beats thumb and the K id";
    EXPECT_EQ(compactButtonLabel(button("K9", "THUMB"), small), "Th");
    EXPECT_EQ(compactButtonLabel(button("K01", "Key 01 long"), small), "01");
    EXPECT_EQ(compactButtonLabel(button("KPK12", "Keypad 12"), small), "P12") << "every K goes";
    EXPECT_EQ(compactButtonLabel(button("k01", "Record"), small), "Reco") << "only an upper-case K counts";
    // Characters, not code units: a flag or an accent sequence is never cut.
    EXPECT_EQ(compactButtonLabel(button("F", "🇩🇪🇫🇷ab"), small), "🇩🇪🇫🇷ab");
    EXPECT_EQ(compactButtonLabel(button("F", "🇩🇪🇫🇷abc"), small), "🇩🇪🇫🇷ab");
    EXPECT_EQ(compactButtonLabel(button("E", "e\u0301e\u0301e\u0301e\u0301e"), small), "e\u0301e\u0301e\u0301e\u0301");
}

TEST(ButtonFramesTest, LayoutRatioFallsBackToOneForBrokenSizes)
{
    EXPECT_DOUBLE_EQ(layoutRatio(0.15, 0.05), 3.0);
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (const auto& [w, h] : {std::pair{0.1, 0.0}, {0.0, 0.1}, {-0.1, 0.1}, {nan, 0.1}, {0.1, inf}, {inf, 0.1}})
        EXPECT_EQ(layoutRatio(w, h), 1.0) << w << " / " << h;
}

} // namespace
} // namespace velmor
