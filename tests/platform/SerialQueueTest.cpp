#include "platform/SerialQueue.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

using namespace velmor;

TEST(ThreadSerialQueue, RunsWorkInOrderOnOneWorkerAndSyncWaitsForEarlierWork)
{
    ThreadSerialQueue queue(QStringLiteral("test.thread"));
    std::string order; // touched only by queue work and after sync
    std::thread::id worker;
    for (char c : std::string("abcde"))
        queue.async([&, c] {
            order += c;
            worker = std::this_thread::get_id();
        });
    const std::string seen = queue.sync([&] { return order; });
    EXPECT_EQ(seen, "abcde");
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_FALSE(queue.isCurrent());
    EXPECT_TRUE(queue.sync([&] { return queue.isCurrent(); }));
    // sync from the queue's own work must not wait for itself
    EXPECT_EQ(queue.sync([&] { return queue.sync([] { return 7; }); }), 7);
}

TEST(ThreadSerialQueue, SyncOnAnIdleQueueRunsOnTheCallerAndHoldsTheQueue)
{
    ThreadSerialQueue queue(QStringLiteral("test.inline"));
    queue.sync([] {}); // the worker has started and is idle
    std::string order;
    const std::thread::id caller = std::this_thread::get_id();
    const std::thread::id ranOn = queue.sync([&] {
        // Handed over while the sync work holds the queue: it waits for the work to end.
        queue.async([&] { order += 'A'; });
        for (int i = 0; i < 1000; ++i)
            std::this_thread::yield();
        order += 'S';
        return std::this_thread::get_id();
    });
    EXPECT_EQ(ranOn, caller);
    EXPECT_FALSE(queue.isCurrent());
    EXPECT_EQ(queue.sync([&] { return order; }), "SA");
}

TEST(ThreadSerialQueue, DestructionFinishesPendingWork)
{
    int ran = 0;
    {
        ThreadSerialQueue queue(QStringLiteral("test.drain"));
        for (int i = 0; i < 100; ++i)
            queue.async([&] { ++ran; });
    }
    EXPECT_EQ(ran, 100);
}

TEST(ThreadSerialQueue, LastOwnerMayLetGoFromTheQueuesOwnWork)
{
    auto holder = std::make_shared<std::unique_ptr<SerialQueue>>(std::make_unique<ThreadSerialQueue>("test.self"));
    std::mutex mutex;
    std::condition_variable signal;
    bool destroyed = false;
    (*holder)->async([holder, &mutex, &signal, &destroyed] {
        holder->reset(); // the queue is destroyed on its own worker
        const std::lock_guard lock(mutex);
        destroyed = true;
        signal.notify_one();
    });
    holder.reset();
    std::unique_lock lock(mutex);
    signal.wait(lock, [&] { return destroyed; });
    SUCCEED();
}

TEST(ManualSerialQueue, ImmediateQueueRunsAtOnceAndKeepsNestedWorkInOrder)
{
    ManualSerialQueue queue(QStringLiteral("test.immediate"));
    std::string order;
    queue.async([&] {
        order += 'a';
        queue.async([&] { order += 'c'; }); // waits for the running work
        order += 'b';
    });
    EXPECT_EQ(order, "abc");
    EXPECT_EQ(queue.pendingCount(), 0u);
}

TEST(ManualSerialQueue, StepwiseQueueWaitsAndSyncRunsOnlyEarlierWorkFirst)
{
    ManualSerialQueue queue(QStringLiteral("test.stepwise"), true);
    std::string order;
    queue.async([&] {
        order += 'a';
        queue.async([&] { order += 'x'; }); // handed over during the drain: after the sync work
    });
    queue.async([&] { order += 'b'; });
    EXPECT_EQ(order, "");
    EXPECT_EQ(queue.pendingCount(), 2u);

    queue.sync([&] {
        EXPECT_TRUE(queue.isCurrent());
        order += 's';
    });
    EXPECT_EQ(order, "abs");
    EXPECT_EQ(queue.pendingCount(), 1u);

    EXPECT_TRUE(queue.runNext());
    EXPECT_FALSE(queue.runNext());
    EXPECT_EQ(order, "absx");

    queue.async([&] { order += 'y'; });
    queue.setStepwise(false); // going immediate runs what waits
    EXPECT_EQ(order, "absxy");
}

TEST(ScopedManualSerialQueues, FactoryMakesManualQueuesFoundByLabelUntilTheScopeEnds)
{
    {
        ScopedManualSerialQueues scope;
        scope.makeStepwise(QStringLiteral("slow"));
        auto fast = SerialQueue::create(QStringLiteral("fast"));
        auto slow = SerialQueue::create(QStringLiteral("slow"));
        ASSERT_NE(dynamic_cast<ManualSerialQueue*>(fast.get()), nullptr);
        EXPECT_EQ(scope.find(QStringLiteral("slow")), slow.get());
        EXPECT_TRUE(scope.find(QStringLiteral("slow"))->isStepwise());
        EXPECT_FALSE(scope.find(QStringLiteral("fast"))->isStepwise());
        slow.reset();
        EXPECT_EQ(scope.find(QStringLiteral("slow")), nullptr);
    }
    auto queue = SerialQueue::create(QStringLiteral("after"));
    EXPECT_NE(dynamic_cast<ThreadSerialQueue*>(queue.get()), nullptr);
}
