#include "ui/shared/CaretBlink.h"

#include "platform/VirtualMainQueue.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QStyleHints>

#include <gtest/gtest.h>

namespace velmor {
namespace {

using namespace std::chrono_literals;

int flashTime() { return QGuiApplication::styleHints()->cursorFlashTime(); }

void pressKey()
{
    QObject target;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(&target, &press);
}

// Sets the desktop's flash time for one test and puts the process's back.
struct DesktopFlashTime {
    explicit DesktopFlashTime(int milliseconds) { QGuiApplication::styleHints()->setCursorFlashTime(milliseconds); }
    ~DesktopFlashTime() { QGuiApplication::styleHints()->setCursorFlashTime(saved); }
    int saved = flashTime();
};

TEST(CaretBlinkTest, RestsAfterTheTimeoutWithoutInputAndWakesAtTheNext)
{
    const DesktopFlashTime desktop(1200);
    ScopedVirtualMainQueue queue;
    {
        const CaretBlink blink(10s);
        queue->advance(9999ms);
        EXPECT_EQ(flashTime(), 1200);
        queue->advance(1ms);
        EXPECT_EQ(flashTime(), 0);
        EXPECT_FALSE(blink.isBlinking());

        pressKey();
        EXPECT_EQ(flashTime(), 1200) << "the caret shows at once";
        queue->advance(6s);
        pressKey(); // the rest counts from the last input
        queue->advance(9s);
        EXPECT_TRUE(blink.isBlinking());
        queue->advance(1s);
        EXPECT_FALSE(blink.isBlinking());

        QMouseEvent click(QEvent::MouseButtonPress, QPointF(), QPointF(), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QObject target;
        QCoreApplication::sendEvent(&target, &click);
        EXPECT_TRUE(blink.isBlinking());
        queue->advance(10s);
    }
    EXPECT_EQ(flashTime(), 1200) << "the desktop's setting is back";
    EXPECT_EQ(queue->pendingCount(), 0U);
}

TEST(CaretBlinkTest, ADesktopWithoutBlinkStaysWithout)
{
    const DesktopFlashTime desktop(0);
    ScopedVirtualMainQueue queue;
    {
        const CaretBlink blink(10s);
        EXPECT_EQ(queue->pendingCount(), 0U);
        pressKey();
        EXPECT_EQ(flashTime(), 0);
        EXPECT_EQ(queue->pendingCount(), 0U);
    }
    EXPECT_EQ(flashTime(), 0);
}

} // namespace
} // namespace velmor
