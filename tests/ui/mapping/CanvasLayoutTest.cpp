// The device canvas's geometry and what each of its buttons shows.

#include "ui/mapping/CanvasLayout.h"
#include "ui/mapping/MappingDerivedData.h"

#include <gtest/gtest.h>

namespace velmor {
namespace {

Device deviceWith(int count)
{
    Device device;
    device.id = QStringLiteral("test_device");
    for (int i = 0; i < count; ++i) {
        DeviceButton button;
        button.id = QStringLiteral("B%1").arg(i);
        button.displayLabel = button.id;
        device.buttons.append(button);
    }
    return device;
}

TEST(CanvasLayoutTest, RatioFollowsTheLayoutExtentWithinBounds)
{
    const LayoutOverrides none;
    EXPECT_EQ(canvasLayout::aspectRatio(deviceWith(0), none), 1.0);
    EXPECT_NEAR(canvasLayout::aspectRatio(deviceWith(5), none), 0.9416 / 0.73, 1e-3);
    EXPECT_NEAR(canvasLayout::aspectRatio(deviceWith(6), none), 0.9416 / 0.845, 1e-3);
    EXPECT_NEAR(canvasLayout::aspectRatio(deviceWith(10), none), 0.9416 / 0.845, 1e-3);
    EXPECT_NEAR(canvasLayout::aspectRatio(deviceWith(3), none), 0.5736 / 0.73, 1e-3);

    // Clamped: twice as wide reads 1.8, three times as tall 0.6.
    Device wide = deviceWith(1);
    wide.buttons[0].overlayFrame = NormalizedRect{0.1, 0.05, 0.8, 0.4};
    EXPECT_DOUBLE_EQ(canvasLayout::aspectRatio(wide, none), 1.8);
    const LayoutOverrides tall{{wide.id, {{QStringLiteral("B0"), NormalizedRect{0.0, 0.0, 0.3, 0.9}}}}};
    EXPECT_DOUBLE_EQ(canvasLayout::aspectRatio(wide, tall), 0.6) << "an override wins over the button's own frame";
}

TEST(CanvasLayoutTest, CanvasFitsTheOfferedAreaCentred)
{
    EXPECT_EQ(canvasLayout::canvasRect({1000, 400}, 1.25), QRectF(250, 0, 500, 400));
    EXPECT_EQ(canvasLayout::canvasRect({400, 1000}, 1.25), QRectF(0, 340, 400, 320));
    EXPECT_EQ(canvasLayout::pointRect({0.5, 0.25, 0.1, 0.5}, {500, 400}), QRectF(250, 100, 50, 200));
}

TEST(CanvasLayoutTest, ToolNamesShowFromSeventyByThirtyFourPoints)
{
    EXPECT_TRUE(canvasLayout::showsToolName(QRectF(0, 0, 70, 34)));
    EXPECT_FALSE(canvasLayout::showsToolName(QRectF(0, 0, 70, 33.9)));
    EXPECT_FALSE(canvasLayout::showsToolName(QRectF(0, 0, 69.9, 34)));
}

TEST(CanvasLayoutTest, ButtonsTakeTheFirstMappingAndKeepAMappingWhoseToolIsGone)
{
    Device device = deviceWith(3);
    PacsProfile pacs;
    RadiologyTool zoom;
    zoom.id = QUuid::createUuid();
    zoom.name = QStringLiteral("Zoom");
    RadiologyTool pan = zoom;
    pan.id = QUuid::createUuid();
    pan.name = QStringLiteral("Pan");
    pacs.tools = {zoom, pan};
    const QList<ButtonMapping> mappings{{QUuid::createUuid(), device.id, "B0", pan.id},
                                        {QUuid::createUuid(), device.id, "B0", zoom.id},
                                        {QUuid::createUuid(), device.id, "B1", QUuid::createUuid()}};
    const std::optional<QString> selected = QStringLiteral("B1");
    const std::optional<QString> pressed = QStringLiteral("B2");
    const QList<canvasLayout::Button> buttons =
        canvasLayout::buttons({device, {}, mappingData::firstMappingOfButtons(mappings, device.buttons), pacs, selected, pressed});
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_EQ(buttons[0].tool->name, "Pan") << "the first stored mapping decides";
    EXPECT_EQ(buttons[0].look(), canvasLayout::Look::mapped);
    EXPECT_TRUE(buttons[1].mapping.has_value());
    EXPECT_FALSE(buttons[1].tool.has_value()) << "its tool is not in the PACS profile";
    EXPECT_EQ(buttons[1].look(), canvasLayout::Look::selected);
    EXPECT_EQ(buttons[2].look(), canvasLayout::Look::unmapped);
    EXPECT_TRUE(buttons[2].pressed);
    EXPECT_FALSE(buttons[1].pressed);
}

TEST(CanvasLayoutTest, TheLaterOfTwoOverlappingButtonsTakesTheClick)
{
    Device device = deviceWith(2);
    device.buttons[0].overlayFrame = NormalizedRect{0.1, 0.1, 0.5, 0.5};
    device.buttons[1].overlayFrame = NormalizedRect{0.4, 0.4, 0.5, 0.5};
    const PacsProfile pacs;
    const QList<canvasLayout::Button> buttons = canvasLayout::buttons({device, {}, {}, pacs, std::nullopt, std::nullopt});
    const QSizeF canvas(100, 100);
    EXPECT_EQ(canvasLayout::buttonAt(buttons, canvas, {50, 50}), 1);
    EXPECT_EQ(canvasLayout::buttonAt(buttons, canvas, {20, 20}), 0);
    EXPECT_EQ(canvasLayout::buttonAt(buttons, canvas, {5, 95}), -1);
}

} // namespace
} // namespace velmor
