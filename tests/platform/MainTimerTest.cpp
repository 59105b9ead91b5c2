#include "platform/MainTimer.h"
#include "platform/VirtualMainQueue.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

using namespace velmor;
using namespace std::chrono_literals;

TEST(MainTimer, OnVirtualTimeItRunsOnceAfterItsDelayAndEachStartReplacesTheLast)
{
    ScopedVirtualMainQueue queue;
    QStringList ran;
    std::unique_ptr<MainTimer> timer = MainTimer::create();
    timer->start(100ms, [&] { ran << "first"; });
    queue->advance(50ms);
    timer->start(100ms, [&] { ran << "second"; }); // from now, not from the first start
    queue->advance(99ms);
    EXPECT_TRUE(ran.isEmpty());
    EXPECT_TRUE(timer->isActive());
    queue->advance(1ms);
    EXPECT_EQ(ran, QStringList{"second"});
    EXPECT_FALSE(timer->isActive());

    // Armed again from inside its own task, and stopped.
    timer->start(10ms, [&] {
        ran << "tick";
        timer->start(10ms, [&] { ran << "again"; });
    });
    queue->advance(20ms);
    EXPECT_EQ(ran.mid(1), (QStringList{"tick", "again"}));
    timer->start(10ms, [&] { ran << "stopped"; });
    timer->stop();
    timer->start(10ms, [&] { ran << "destroyed"; });
    timer.reset();
    queue->advance(1s);
    EXPECT_EQ(ran.size(), 3);
    EXPECT_EQ(queue->pendingCount(), 0u);
}

TEST(MainTimer, OnTheQtLoopOneTimerServesEveryStart)
{
    QStringList ran;
    std::unique_ptr<MainTimer> timer = MainTimer::create();
    timer->start(0ms, [&] {
        ran << "tick";
        timer->start(0ms, [&] { ran << "again"; });
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return ran.size() == 2; }));
    EXPECT_EQ(ran, (QStringList{"tick", "again"}));
    timer->start(0ms, [&] { ran << "stopped"; });
    timer->stop();
    EXPECT_FALSE(timer->isActive());
    QCoreApplication::processEvents();
    EXPECT_EQ(ran.size(), 2);
}
