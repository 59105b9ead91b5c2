// The layout editor: its controller and size presets, then the window driven
// through its widgets.

#include "ui/devices/LayoutEditorController.h"
#include "ui/devices/widgets/DeviceLayoutEditor.h"
#include "ui/devices/widgets/LayoutButton.h"
#include "ui/devices/widgets/LayoutCanvasView.h"
#include "ui/devices/widgets/LayoutEditorWindowController.h"
#include "ui/devices/widgets/LayoutPresetCard.h"

#include "support/AppModelFixture.h"
#include "core/LayoutOverridesFile.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>

#include <cmath>
#include <limits>

using namespace velmor;
using namespace velmor::test;

namespace {

class LayoutEditorControllerTest : public AppModelFixture {
protected:
    LayoutEditorControllerTest() { start(); }

    const LayoutEditorController::State& state() const { return editor->state().get(); }
    NormalizedRect shown(const QString& id) const
    {
        for (const auto& button : state().buttons)
            if (button.id == id)
                return button.rect;
        ADD_FAILURE() << "no button " << id.toStdString();
        return {};
    }
    static std::optional<NormalizedRect> rectOf(const DeviceButtonRects& rects, const QString& deviceId, const QString& id)
    {
        const auto device = rects.value(deviceId);
        return device.contains(id) ? std::optional(device.value(id)) : std::nullopt;
    }
    std::optional<NormalizedRect> stored(const QString& deviceId, const QString& id) const
    {
        return rectOf(model->overlayOverrides().get(), deviceId, id);
    }
    std::optional<NormalizedRect> savedInFile(const QString& deviceId, const QString& id) const
    {
        return rectOf(LayoutOverridesFile::decode(readFile(supportPath("layout_overrides.json"))), deviceId, id);
    }
    void open(const Device& device) { editor = std::make_unique<LayoutEditorController>(device, *model); }
    // A whole drag of `id` by `steps` translations on a 1000 × 500 canvas.
    void dragBy(const QString& id, std::initializer_list<QSizeF> steps, bool commit = true)
    {
        const NormalizedRect start = shown(id);
        for (const QSizeF& step : steps)
            editor->drag(id, step, QSizeF(1000, 500), start);
        if (commit)
            editor->commitDrag(id);
    }
    std::unique_ptr<LayoutEditorController> editor;
};

void expectRect(const NormalizedRect& actual, const NormalizedRect& expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-12);
    EXPECT_NEAR(actual.y, expected.y, 1e-12);
    EXPECT_NEAR(actual.width, expected.width, 1e-12);
    EXPECT_NEAR(actual.height, expected.height, 1e-12);
}

TEST_F(LayoutEditorControllerTest, LoadingTakesTheOverridesAndSelectsTheFirstButton)
{
    open(Device::tartarusTemplate());
    EXPECT_EQ(editor->selectedButtonId(), "K01");
    EXPECT_EQ(editor->frames(), model->overlayOverrides().get().value(keypad)) << "the bundle layout is loaded";
    ASSERT_TRUE(state().selection);
    EXPECT_EQ(state().selection->index, 0);
    EXPECT_EQ(state().deviceName, "Razer Tartarus V2 / Pro");

    open(Device{QStringLiteral("empty"), QStringLiteral("Empty"), QStringLiteral("keypad"), std::nullopt, {}});
    EXPECT_EQ(editor->selectedButtonId(), std::nullopt);
    EXPECT_FALSE(state().selection);

    // A selection the device lacks shows no inspector.
    open(Device::mouseTemplate());
    editor->select("K01");
    EXPECT_FALSE(state().selection);
    editor->select("BUTTON_4");
    ASSERT_TRUE(state().selection);
    EXPECT_EQ(state().selection->index, 3);
    EXPECT_TRUE(state().buttons[3].selected);
    EXPECT_FALSE(state().buttons[0].selected);
}

TEST_F(LayoutEditorControllerTest, DragsAreClampedAtEveryEdgeAndMeasuredFromTheirStart)
{
    open(Device::mouseTemplate()); // no frames anywhere: the default grid
    editor->commitDrag("LEFT_CLICK");
    EXPECT_FALSE(QFile::exists(supportPath("layout_overrides.json"))) << "a drag end with no rectangle writes nothing";
    editor->setSnapEnabled(false);
    const NormalizedRect start = defaultButtonFrame(0, 7);
    expectRect(shown("LEFT_CLICK"), start);

    // Many small moves of one drag: each is the total since the start, so no drift.
    dragBy("LEFT_CLICK", {{10, 5}, {20, 10}, {100, 50}}, false);
    expectRect(shown("LEFT_CLICK"), {start.x + 0.1, start.y + 0.1, start.width, start.height});
    EXPECT_EQ(stored("mouse_5_button", "LEFT_CLICK"), std::nullopt) << "nothing is written during a drag";
    editor->commitDrag("LEFT_CLICK");
    expectRect(*stored("mouse_5_button", "LEFT_CLICK"), shown("LEFT_CLICK"));

    dragBy("LEFT_CLICK", {{-5000, -5000}});
    expectRect(shown("LEFT_CLICK"), {0, 0, start.width, start.height});
    dragBy("LEFT_CLICK", {{5000, 5000}});
    expectRect(shown("LEFT_CLICK"), {1 - start.width, 1 - start.height, start.width, start.height});
    expectRect(*savedInFile("mouse_5_button", "LEFT_CLICK"), shown("LEFT_CLICK"));

    // A canvas with no size yet moves nothing.
    editor->drag("RIGHT_CLICK", {10, 10}, QSizeF(0, 0), shown("RIGHT_CLICK"));
    EXPECT_FALSE(editor->frames().contains("RIGHT_CLICK"));
}

TEST_F(LayoutEditorControllerTest, SnappingRoundsHalvesUpAndClampsAgain)
{
    open(Device::mouseTemplate());
    ASSERT_DOUBLE_EQ(editor->snapStep(), 0.04);
    const NormalizedRect start = defaultButtonFrame(0, 7); // x 0.04, y 0.04
    // x 0.04 + 0.06 = 0.10, halfway between 0.08 and 0.12: the larger. y 0.04 + 0.01 → 0.04.
    dragBy("LEFT_CLICK", {{60, 5}});
    EXPECT_NEAR(shown("LEFT_CLICK").x, 0.12, 1e-12);
    EXPECT_NEAR(shown("LEFT_CLICK").y, 0.04, 1e-12);

    // The right edge: 1 − 0.1656 = 0.8344 is off the grid, snapping would push past it.
    dragBy("LEFT_CLICK", {{2000, 0}});
    EXPECT_NEAR(shown("LEFT_CLICK").x, 1 - start.width, 1e-12);

    editor->setSnapEnabled(false);
    dragBy("LEFT_CLICK", {{-7, 0}});
    EXPECT_NEAR(shown("LEFT_CLICK").x, 0.8344 - 0.007, 1e-12) << "no rounding with snapping off";

    editor->setSnapEnabled(true);
    editor->setSnapPercent(10);
    dragBy("LEFT_CLICK", {{-450, 0}}); // 0.3774 → 0.4
    EXPECT_NEAR(shown("LEFT_CLICK").x, 0.4, 1e-12);
}

TEST_F(LayoutEditorControllerTest, SnapStepStaysAWholePercentBetweenTwoAndTwelve)
{
    open(Device::mouseTemplate());
    EXPECT_EQ(state().snapLabel, "Grid 4%");

    QStringList labels;
    for (int percent = 11; percent <= 14; ++percent) {
        editor->setSnapPercent(percent);
        labels.append(state().snapLabel);
    }
    EXPECT_EQ(labels, (QStringList{"Grid 11%", "Grid 12%", "Grid 12%", "Grid 12%"}));
    ASSERT_EQ(state().gridLines.size(), 9);
    EXPECT_NEAR(state().gridLines.last(), 0.96, 1e-12);
    editor->setSnapPercent(-3);
    EXPECT_EQ(state().snapLabel, "Grid 2%");
    EXPECT_DOUBLE_EQ(editor->snapStep(), 0.02);

    editor->setSnapEnabled(false);
    EXPECT_TRUE(state().gridLines.isEmpty());
    EXPECT_EQ(shown("LEFT_CLICK"), defaultButtonFrame(0, 7)) << "turning the grid off moves nothing";

    // Each line is one rounding from the start, so the end is reached exactly or not at all.
    EXPECT_EQ(gridLinePositions(0, 1, 0.1).size(), 11) << "10 × 0.1 rounds to exactly 1";
    const QList<double> thirds = gridLinePositions(0, 1, 0.03);
    ASSERT_EQ(thirds.size(), 34);
    EXPECT_LT(thirds.last(), 1.0);
    EXPECT_EQ(thirds[7], std::fma(7, 0.03, 0.0));
    EXPECT_TRUE(gridLinePositions(0, 1, 0).isEmpty());
    EXPECT_TRUE(gridLinePositions(0, 1, -0.1).isEmpty());
}

TEST_F(LayoutEditorControllerTest, SizeEditsAreStoredAtOnceAndNeverLeaveTheCanvas)
{
    open(Device::speechMikeTemplate());
    editor->select("F3"); // x 0.6656, y 0.8195, w 0.3344, h 0.088
    editor->setWidth(0.2, "F3");
    expectRect(*savedInFile("speechmike_smp3700", "F3"), {0.6656, 0.8195, 0.2, 0.088});
    editor->setWidth(0.5, "F3");
    EXPECT_NEAR(shown("F3").width, 1 - 0.6656, 1e-12) << "cut to the right edge";
    editor->setHeight(0.5, "F3");
    EXPECT_NEAR(shown("F3").height, 1 - 0.8195, 1e-12);
    EXPECT_NEAR(shown("F3").y, 0.8195, 1e-12) << "the position stays while the size fits";

    // Closer to the edge than the smallest size: the button moves back inside.
    model->setOverlayFrame({0.98, 0.99, 0.02, 0.01}, "F4", "speechmike_smp3700");
    open(Device::speechMikeTemplate());
    editor->setWidth(0.3, "F4");
    expectRect(*stored("speechmike_smp3700", "F4"), {0.96, 0.99, 0.04, 0.01});
    editor->setHeight(0.01, "F4");
    expectRect(*stored("speechmike_smp3700", "F4"), {0.96, 0.96, 0.04, 0.04});

    const auto before = model->overlayOverrides().get();
    editor->setWidth(std::numeric_limits<double>::quiet_NaN(), "F4");
    editor->setWidth(0.2, "NO_SUCH_BUTTON");
    EXPECT_EQ(model->overlayOverrides().get(), before);
}

TEST_F(LayoutEditorControllerTest, PresetsResizeKeepThePlaceUnlessItWouldLeaveTheCanvas)
{
    open(Device::mouseTemplate());
    const QList<LayoutSizePreset>& presets = LayoutSizePreset::builtIn();
    const qsizetype mediumLong = 4;
    ASSERT_EQ(presets[mediumLong].name, "Medium-Long Button");
    editor->select("LEFT_CLICK");
    editor->applyPreset(presets[mediumLong], "LEFT_CLICK");
    expectRect(*stored("mouse_5_button", "LEFT_CLICK"), {0.04, 0.04, 0.1, 0.222});
    QList<bool> active(presets.size(), false);
    active[mediumLong] = true;
    EXPECT_EQ(state().selection->activePresets, active);

    editor->setWidth(0.1009, "LEFT_CLICK");
    EXPECT_TRUE(state().selection->activePresets[mediumLong]) << "within 0.001";
    for (const auto& [width, height] : {std::pair{0.102, 0.222}, {0.1, 0.224}}) {
        editor->setWidth(width, "LEFT_CLICK");
        editor->setHeight(height, "LEFT_CLICK");
        EXPECT_FALSE(state().selection->activePresets[mediumLong]) << width << " x " << height;
    }

    // Near the right and bottom edges the button moves so that it ends at the edge.
    model->setOverlayFrame({0.95, 0.97, 0.04, 0.02}, "BUTTON_5", "mouse_5_button");
    editor->applyPreset(presets.last(), "BUTTON_5"); // Large Square 0.15
    expectRect(*stored("mouse_5_button", "BUTTON_5"), {0.85, 0.85, 0.15, 0.15});
    // An outsized preset is brought to 0.04…0.5.
    editor->applyPreset({"Huge", 0.9, 0.01}, "BUTTON_5");
    expectRect(*stored("mouse_5_button", "BUTTON_5"), {0.5, 0.85, 0.5, 0.04});
}

TEST_F(LayoutEditorControllerTest, ResetReloadsTheBundleLayoutOrFallsBackToTheTemplate)
{
    const QHash<QString, NormalizedRect> bundle = model->overlayOverrides().get().value(keypad);
    open(Device::tartarusTemplate());
    editor->select("K05");
    editor->setWidth(0.3, "K05");
    editor->setSnapEnabled(false);
    dragBy("K06", {{100, 0}});
    ASSERT_NE(model->overlayOverrides().get().value(keypad), bundle);

    editor->resetLayout();
    EXPECT_EQ(model->overlayOverrides().get().value(keypad), bundle);
    EXPECT_EQ(savedInFile(keypad, "K05"), bundle.value("K05"));
    EXPECT_EQ(editor->selectedButtonId(), "K05") << "the selection stays";
    EXPECT_EQ(shown("K05"), bundle.value("K05"));

    open(Device::mouseTemplate());
    editor->setWidth(0.3, "LEFT_CLICK");
    editor->resetLayout();
    EXPECT_FALSE(model->overlayOverrides().get().contains("mouse_5_button"));
    EXPECT_FALSE(savedInFile("mouse_5_button", "LEFT_CLICK"));
    EXPECT_EQ(shown("LEFT_CLICK"), defaultButtonFrame(0, 7));
}

TEST_F(LayoutEditorControllerTest, OverridesChangedElsewhereReachTheStateOnTheNextTurn)
{
    open(Device::speechMikeTemplate());
    int refreshes = 0;
    const auto subscription = editor->state().subscribe([&](const auto&) { ++refreshes; });
    // The device canvas (or another editor) stores a rectangle for a button this editor never touched…
    model->resetLayout("speechmike_smp3700");
    model->setOverlayFrame({0.1, 0.1, 0.1, 0.1}, "INFO", "speechmike_smp3700");
    queue->runUntilIdle();
    EXPECT_EQ(refreshes, 2) << "the current value, then one refresh for both changes";
    // …but rectangles loaded when the editor opened still win over later overrides.
    EXPECT_EQ(shown("INFO"), editor->frames().value("INFO"));
    EXPECT_EQ(shown("F1"), editor->frames().value("F1"));

    // Buttons the editor holds nothing for follow AppModel.
    open(Device::mouseTemplate());
    model->setOverlayFrame({0.2, 0.3, 0.1, 0.1}, "BUTTON_4", "mouse_5_button");
    queue->runUntilIdle();
    EXPECT_EQ(shown("BUTTON_4"), (NormalizedRect{0.2, 0.3, 0.1, 0.1}));
}

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

class LayoutEditorWindowTest : public AppModelFixture {
protected:
    LayoutEditorWindowTest() { start(); }

    DeviceLayoutEditor& editor() { return *windows.editor(); }
    template <typename T>
    T* find(const char* name)
    {
        T* widget = windows.window()->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    static void mouse(QWidget* target, QEvent::Type type, QPoint local, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(QPointF(local))),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    // Press, move by each offset in turn (from the press point), release.
    static void dragBy(QWidget* button, std::initializer_list<QPoint> offsets)
    {
        const QPoint start(5, 5);
        const QPoint global = button->mapToGlobal(start);
        mouse(button, QEvent::MouseButtonPress, start, Qt::LeftButton);
        for (const QPoint& offset : offsets) // the view moves under the pointer: map the global point back
            mouse(button, QEvent::MouseMove, button->mapFromGlobal(global + offset), Qt::LeftButton);
        mouse(button, QEvent::MouseButtonRelease, button->mapFromGlobal(global + *(offsets.end() - 1)), Qt::NoButton);
    }

    LayoutEditorWindowController windows;
    int closes = 0;
};

TEST_F(LayoutEditorWindowTest, OneWindowKeptAcrossShowsAndCloseActionRunsOncePerShow)
{
    EXPECT_EQ(windows.window(), nullptr);
    windows.show(Device::tartarusTemplate(), *model, [&] { ++closes; });
    QWidget* window = windows.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Layout Editor");
    const QSize available = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_EQ(window->size(), QSize(1200, 700).boundedTo(available));

    // "Done" tells the owner; the window stays until the owner closes it, which is not a second close.
    QTest::mouseClick(find<QPushButton>("doneButton"), Qt::LeftButton);
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(window->isVisible());
    windows.close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(closes, 1);

    // The user moved and resized it: the next show keeps that and the same window.
    window->setGeometry(40, 30, 500, 400);
    const QRect placed = window->geometry();
    windows.show(Device::speechMikeTemplate(), *model, [&] { closes += 10; });
    EXPECT_EQ(windows.window(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->geometry(), placed);

    // Another device while open: its editor replaces the old one, whose close action no longer runs.
    QPointer<DeviceLayoutEditor> first = windows.editor();
    windows.show(Device::mouseTemplate(), *model, [&] { closes += 100; });
    ASSERT_NE(windows.editor(), first.data());
    EXPECT_EQ(editor().controller().device().id, "mouse_5_button");
    EXPECT_NE(editor().canvas()->buttonView("LEFT_CLICK"), nullptr);
    EXPECT_EQ(editor().canvas()->buttonView("K01"), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull()) << "the old editor goes";

    // The close button runs the current action; "Done" afterwards does not run it again.
    window->close();
    EXPECT_EQ(closes, 101);
    QTest::mouseClick(find<QPushButton>("doneButton"), Qt::LeftButton);
    EXPECT_EQ(closes, 101);
}

TEST_F(LayoutEditorWindowTest, DraggingAButtonMovesItAndStoresItOnRelease)
{
    windows.show(Device::mouseTemplate(), *model, [] {});
    editor().controller().setSnapEnabled(false);
    LayoutCanvasView* canvas = editor().canvas();
    canvas->resize(1000, 500);
    LayoutButton* side = canvas->buttonView("BUTTON_4");
    ASSERT_NE(side, nullptr);
    const QRect before = side->geometry();

    // Less than 10 points is a click: it selects and moves nothing.
    dragBy(side, {QPoint(3, 4)});
    EXPECT_EQ(editor().controller().selectedButtonId(), "BUTTON_4");
    EXPECT_TRUE(side->isSelected());
    EXPECT_EQ(side->geometry(), before);
    EXPECT_FALSE(model->overlayOverrides().get().contains("mouse_5_button"));

    editor().controller().select("LEFT_CLICK");
    dragBy(side, {QPoint(20, 0), QPoint(60, 25), QPoint(100, 50)});
    EXPECT_EQ(editor().controller().selectedButtonId(), "BUTTON_4") << "a drag selects";
    EXPECT_EQ(side->geometry().topLeft(), before.topLeft() + QPoint(100, 50));
    const NormalizedRect start = defaultButtonFrame(3, 7);
    const NormalizedRect stored = model->overlayOverrides().get().value("mouse_5_button").value("BUTTON_4");
    EXPECT_NEAR(stored.x, start.x + 0.1, 1e-9);
    EXPECT_NEAR(stored.y, start.y + 0.1, 1e-9);
    EXPECT_EQ(stored.width, start.width);
}

TEST_F(LayoutEditorWindowTest, SizeFieldsPresetsAndStepperCallTheEditor)
{
    windows.show(Device::speechMikeTemplate(), *model, [] {});
    auto* width = find<QLineEdit>("widthField");
    auto* height = find<QLineEdit>("heightField");
    EXPECT_EQ(width->text(), "0.39") << "REC is 0.3904 wide, shown with two or three fraction digits";
    EXPECT_EQ(height->text(), "0.181");

    width->selectAll();
    QTest::keyClicks(width, "0.25");
    QTest::keyClick(width, Qt::Key_Return);
    const auto rec = [&] { return model->overlayOverrides().get().value("speechmike_smp3700").value("REC"); };
    EXPECT_DOUBLE_EQ(rec().width, 0.25);

    for (const char* rejected : {"abc", "0.6", "0.01"}) {
        width->selectAll();
        QTest::keyClicks(width, rejected);
        QTest::keyClick(width, Qt::Key_Return);
        EXPECT_DOUBLE_EQ(rec().width, 0.25) << rejected;
        EXPECT_EQ(width->text(), "0.25") << "a rejected entry shows the size again";
    }

    auto* square = find<LayoutPresetCard>("preset_Large Square");
    EXPECT_FALSE(square->isActive());
    QTest::mouseClick(square, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(rec().width, 0.15);
    EXPECT_TRUE(square->isActive());
    EXPECT_EQ(height->text(), "0.15");

    auto* stepper = find<QSpinBox>("snapStepper");
    EXPECT_EQ(stepper->text(), "Grid 4%");
    stepper->stepUp();
    EXPECT_EQ(editor().controller().snapStep(), 0.05);
    EXPECT_EQ(stepper->text(), "Grid 5%");
}

} // namespace
