#include "ui/devices/widgets/DeviceLayoutEditorView.h"
#include "ui/devices/widgets/LayoutButtonView.h"
#include "ui/devices/widgets/LayoutCanvasView.h"
#include "ui/devices/widgets/LayoutEditorWindowController.h"
#include "ui/devices/widgets/LayoutPresetCard.h"

#include "support/AppModelFixture.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>

using namespace velmor;
using namespace velmor::test;

namespace {

class LayoutEditorWindowTest : public AppModelFixture {
protected:
    LayoutEditorWindowTest() { start(); }

    DeviceLayoutEditorView& editor() { return *windows.editor(); }
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
    EXPECT_EQ(editor().controller().device().id, "speechmike_smp3700");

    // The close button runs the current action; "Done" afterwards does not run it again.
    window->close();
    EXPECT_EQ(closes, 11);
    QTest::mouseClick(find<QPushButton>("doneButton"), Qt::LeftButton);
    EXPECT_EQ(closes, 11);
}

TEST_F(LayoutEditorWindowTest, ShowForAnotherDeviceReplacesTheEditorWhileOpen)
{
    windows.show(Device::tartarusTemplate(), *model, [&] { ++closes; });
    QPointer<DeviceLayoutEditorView> first = windows.editor();
    windows.show(Device::mouseTemplate(), *model, [&] { closes += 100; });
    ASSERT_NE(windows.editor(), first.data());
    EXPECT_EQ(editor().controller().device().id, "mouse_5_button");
    EXPECT_NE(editor().canvas()->buttonView("LEFT_CLICK"), nullptr);
    EXPECT_EQ(editor().canvas()->buttonView("K01"), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull()) << "the old editor goes";
    windows.window()->close();
    EXPECT_EQ(closes, 100) << "only the newest close action runs";
}

TEST_F(LayoutEditorWindowTest, DraggingAButtonMovesItAndStoresItOnRelease)
{
    windows.show(Device::mouseTemplate(), *model, [] {});
    editor().controller().setSnapEnabled(false);
    LayoutCanvasView* canvas = editor().canvas();
    canvas->resize(1000, 500);
    LayoutButtonView* side = canvas->buttonView("BUTTON_4");
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
    EXPECT_EQ(width->text(), "0.25");

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
    EXPECT_DOUBLE_EQ(rec().height, 0.15);
    EXPECT_TRUE(square->isActive());
    EXPECT_EQ(height->text(), "0.15");

    auto* stepper = find<QSpinBox>("snapStepper");
    EXPECT_EQ(stepper->text(), "Grid 4%");
    stepper->stepUp();
    EXPECT_EQ(editor().controller().snapStep(), 0.05);
    EXPECT_EQ(stepper->text(), "Grid 5%");
}

} // namespace
