#include "platform/QtMainQueue.h"
#include "platform/VirtualMainQueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

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

namespace {

// Runs the Qt loop until `done` holds; false after five seconds.
bool runLoopUntil(const std::function<bool()>& done)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    return done();
}

} // namespace

TEST(QtMainQueue, GatheredPostsKeepTheirOrderAcrossThreadsAndLaterPostsWaitATurn)
{
    QtMainQueue queue;
    std::string order;
    queue.post([&] {
        order += 'a';
        queue.post([&] { order += 'e'; }); // after everything posted before it
    });
    std::thread worker([&] {
        queue.post([&] { order += 'b'; });
        queue.post([&] { order += 'c'; });
    });
    worker.join();
    queue.post([&] { order += 'd'; });
    EXPECT_TRUE(runLoopUntil([&] { return order.size() == 5; }));
    EXPECT_EQ(order, "abcde");
}

TEST(QtMainQueue, WorkRunningANestedLoopDoesNotHoldUpTheWorkBehindIt)
{
    QtMainQueue queue;
    bool behindRan = false;
    bool nestedSawIt = false;
    // Like a modal dialog opened by posted work: its loop must run what was posted after it.
    queue.post([&] { nestedSawIt = runLoopUntil([&] { return behindRan; }); });
    queue.post([&] { behindRan = true; });
    EXPECT_TRUE(runLoopUntil([&] { return behindRan; }));
    EXPECT_TRUE(runLoopUntil([&] { return nestedSawIt; }));
}

namespace {

// Counts the queued calls the application receives.
class QueuedCallCounter final : public QObject {
public:
    QueuedCallCounter() { QCoreApplication::instance()->installEventFilter(this); }
    ~QueuedCallCounter() override { QCoreApplication::instance()->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::MetaCall)
            ++count;
        return false;
    }
};

// Runs `loop` until it quits; 1 when only the safety timer ended it.
int execWithSafety(QEventLoop& loop)
{
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, &loop, [&] { loop.exit(1); });
    safety.start(5s);
    return loop.exec();
}

} // namespace

TEST(QtMainQueue, WorkPostedOnTheMainThreadRunsAtTheLoopsNextTurnWithoutAnEvent)
{
    QtMainQueue queue;
    QueuedCallCounter calls;
    std::string order;
    queue.post([&] { order += 'a'; });
    std::thread worker([&] { queue.post([&] { order += 'b'; }); }); // from elsewhere: an event
    worker.join();
    queue.post([&] { order += 'c'; });
    EXPECT_EQ(order, "");
    QCoreApplication::processEvents(); // one turn, without waiting
    EXPECT_EQ(order, "abc");
    EXPECT_LE(calls.count, 1);

    queue.post([&] { order += 'd'; });
    QCoreApplication::processEvents();
    EXPECT_EQ(order, "abcd");
    EXPECT_LE(calls.count, 1);
}

TEST(QtMainQueue, WorkPostedByWorkOnTheMainThreadNeverWaitsForAWakeUp)
{
    QtMainQueue queue;
    QEventLoop loop;
    // The first post runs just before the loop would wait; what it posts must not
    // be left for a wake-up that never comes.
    queue.post([&] { queue.post([&] { queue.post([&] { loop.quit(); }); }); });
    EXPECT_EQ(execWithSafety(loop), 0);

    // A nested loop opened by such work runs what was posted behind it.
    bool behindRan = false;
    queue.post([&] {
        QEventLoop nested;
        queue.post([&] {
            behindRan = true;
            nested.quit();
        });
        EXPECT_EQ(execWithSafety(nested), 0);
        loop.quit();
    });
    EXPECT_EQ(execWithSafety(loop), 0);
    EXPECT_TRUE(behindRan);
}

TEST(QtMainQueue, CancelledDelayedWorkLeavesNoTimerBehind)
{
    QtMainQueue queue;
    const auto timers = [] { return QCoreApplication::instance()->findChildren<QTimer*>().size(); };
    const qsizetype before = timers();
    Cancellable handle = queue.after(std::chrono::hours(1), [] {});
    EXPECT_EQ(timers(), before + 1);
    handle = Cancellable(); // replacing the handle cancels the work
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(timers(), before);
}
