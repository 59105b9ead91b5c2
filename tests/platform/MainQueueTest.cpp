#include "platform/QtMainQueue.h"
#include "platform/VirtualMainQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <string>

using namespace velmor;
using namespace std::chrono_literals;

TEST(VirtualMainQueue, RunsPostedWorkLaterAndInOrder)
{
    VirtualMainQueue queue;
    std::string order;
    queue.post([&] { order += 'a'; });
    queue.post([&] {
        order += 'b';
        queue.post([&] { order += 'd'; }); // posted while running: runs after what was already queued
    });
    queue.post([&] { order += 'c'; });
    EXPECT_EQ(order, "");
    EXPECT_EQ(queue.runUntilIdle(), 4);
    EXPECT_EQ(order, "abcd");
    EXPECT_EQ(queue.runUntilIdle(), 0);
}

TEST(VirtualMainQueue, DelayedWorkRunsAtItsDueTimeInDueOrder)
{
    VirtualMainQueue queue;
    std::string order;
    std::chrono::milliseconds seenAt{-1};
    auto late = queue.after(300ms, [&] { order += 'L'; });
    auto early = queue.after(100ms, [&] {
        order += 'E';
        seenAt = queue.now();
    });
    auto same = queue.after(100ms, [&] { order += 'S'; }); // same due time: posting order
    queue.runUntilIdle();
    EXPECT_EQ(order, "");
    queue.advance(99ms);
    EXPECT_EQ(order, "");
    queue.advance(1ms);
    EXPECT_EQ(order, "ES");
    EXPECT_EQ(seenAt, 100ms);
    queue.advance(1000ms);
    EXPECT_EQ(order, "ESL");
    EXPECT_EQ(queue.now(), 1100ms);
}

TEST(VirtualMainQueue, WorkScheduledFromDelayedWorkKeepsTheVirtualTimeLine)
{
    VirtualMainQueue queue;
    std::vector<long> ticks;
    std::function<void()> tick;
    Cancellable next;
    tick = [&] {
        ticks.push_back(static_cast<long>(queue.now().count()));
        if (ticks.size() < 3)
            next = queue.after(50ms, tick);
    };
    next = queue.after(50ms, tick);
    queue.advance(1000ms);
    EXPECT_EQ(ticks, (std::vector<long>{50, 100, 150}));
}

TEST(VirtualMainQueue, CancelledOrDroppedHandlesNeverRun)
{
    VirtualMainQueue queue;
    int ran = 0;
    auto cancelled = queue.after(10ms, [&] { ++ran; });
    cancelled.cancel();
    EXPECT_FALSE(cancelled.isPending());
    {
        auto dropped = queue.after(10ms, [&] { ++ran; });
        EXPECT_TRUE(dropped.isPending());
    }
    auto released = queue.after(10ms, [&] { ran += 10; });
    released.release();
    auto reassigned = queue.after(10ms, [&] { ran += 100; });
    reassigned = queue.after(20ms, [&] { ran += 1000; }); // replacing a handle cancels the old work
    EXPECT_EQ(queue.pendingCount(), 2u);
    queue.advance(50ms);
    EXPECT_EQ(ran, 1010);
}

TEST(VirtualMainQueue, ScopedQueueReplacesTheProcessWideQueue)
{
    int ran = 0;
    {
        ScopedVirtualMainQueue scoped;
        postToMain([&] { ++ran; });
        EXPECT_EQ(ran, 0);
        scoped->runUntilIdle();
        EXPECT_EQ(ran, 1);
        EXPECT_EQ(&MainQueue::instance(), &*scoped);
    }
    EXPECT_NE(dynamic_cast<QtMainQueue*>(&MainQueue::instance()), nullptr);
}

TEST(QtMainQueue, PostAndAfterRunOnTheEventLoop)
{
    QtMainQueue queue;
    std::string order;
    auto timer = queue.after(5ms, [&] { order += 't'; });
    auto cancelled = queue.after(1ms, [&] { order += 'x'; });
    cancelled.cancel();
    queue.post([&] { order += 'p'; });
    EXPECT_EQ(order, "");
    QElapsedTimer elapsed;
    elapsed.start();
    while (order.size() < 2 && elapsed.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(order, "pt");
}
