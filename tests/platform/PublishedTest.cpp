#include "platform/Published.h"
#include "platform/VirtualMainQueue.h"

#include <gtest/gtest.h>

#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

using namespace velmor;

TEST(Published, SubscribeDeliversCurrentValueThenEveryChange)
{
    Published<int> value(1);
    std::vector<int> seen;
    auto sub = value.subscribe([&](const int& v) { seen.push_back(v); });
    value.set(2);
    value.set(2); // equal values are still published
    value.mutate([](int& v) { v += 5; });
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 2, 7}));
    EXPECT_EQ(value.get(), 7);
}

TEST(Published, DestroyedOrResetSubscriptionStopsDelivering)
{
    Published<int> value(0);
    int calls = 0;
    {
        auto sub = value.subscribe([&](const int&) { ++calls; });
        value.set(1);
    }
    value.set(2);
    EXPECT_EQ(calls, 2);

    auto sub = value.subscribe([&](const int&) { ++calls; });
    Subscription moved = std::move(sub);
    value.set(3);
    moved.reset();
    value.set(4);
    EXPECT_EQ(calls, 4);
}

TEST(Published, SubscriptionMayOutliveThePublisher)
{
    Subscription sub;
    {
        Published<int> value(0);
        sub = value.subscribe([](const int&) {});
    }
    sub.reset(); // must not touch the destroyed publisher
    SUCCEED();
}

TEST(Published, HandlerMayUnsubscribeItselfAndSetOtherValues)
{
    Published<int> source(0);
    Published<int> derived(0);
    std::vector<int> derivedSeen;
    auto derivedSub = derived.subscribe([&](const int& v) { derivedSeen.push_back(v); });

    Subscription self;
    int selfCalls = 0;
    self = source.subscribe([&](const int& v) {
        ++selfCalls;
        derived.set(v * 10);
        if (v == 1)
            self.reset();
    });
    int otherCalls = 0;
    auto other = source.subscribe([&](const int&) { ++otherCalls; });

    source.set(1);
    source.set(2);
    EXPECT_EQ(selfCalls, 2); // initial value and 1; then it ended itself
    EXPECT_EQ(otherCalls, 3);
    EXPECT_EQ(derivedSeen, (std::vector<int>{0, 0, 10}));
}

TEST(Published, NestedSetsAreDeliveredAfterTheCurrentDeliveryInTheOrderSet)
{
    Published<int> value(0);
    std::vector<int> first, last;
    std::vector<int> seenByBump;
    auto early = value.subscribe([&](const int& v) { first.push_back(v); });
    auto bump = value.subscribe([&](const int& v) {
        seenByBump.push_back(v);
        if (v == 1) {
            value.set(2);
            value.set(3);
            EXPECT_EQ(value.get(), 3) << "get() is the newest value at once";
        }
        if (v == 3)
            value.mutate([](int& x) { x = 4; });
    });
    auto late = value.subscribe([&](const int& v) { last.push_back(v); });
    value.set(1);
    // Every subscriber, before and after the one that set, sees 1 first and ends with 4.
    EXPECT_EQ(first, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(seenByBump, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(last, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(value.get(), 4);

    // After a handler threw, the publisher delivers again.
    Published<int> throwing(0);
    auto thrower = throwing.subscribe([](const int& v) {
        if (v == 1)
            throw std::runtime_error("stop");
    });
    EXPECT_THROW(throwing.set(1), std::runtime_error);
    std::vector<int> after;
    auto watcher = throwing.subscribe([&](const int& v) { after.push_back(v); });
    throwing.set(2);
    EXPECT_EQ(after, (std::vector<int>{1, 2}));
}

TEST(Published, SubscribingOrCancellingDuringADeliveryKeepsTheOrder)
{
    Published<int> value(0);
    std::vector<int> joined;
    Subscription joiner;
    Subscription cancelled;
    std::vector<int> cancelledSeen;
    auto driver = value.subscribe([&](const int& v) {
        if (v != 1)
            return;
        value.set(2);
        // Joins while 1 is being delivered and 2 waits: starts with the newest value
        // and gets no older one afterwards.
        joiner = value.subscribe([&](const int& w) { joined.push_back(w); });
        cancelled.reset(); // not reached by 1, nor by 2
        value.set(3);
    });
    cancelled = value.subscribe([&](const int& v) { cancelledSeen.push_back(v); });
    value.set(1);
    EXPECT_EQ(joined, (std::vector<int>{2, 3}));
    EXPECT_EQ(cancelledSeen, (std::vector<int>{0}));

    // A handler may end the publisher itself; the running delivery stops touching it.
    auto owned = std::make_unique<Published<int>>(0);
    std::vector<int> seen;
    auto ender = owned->subscribe([&](const int& v) {
        if (v == 1) {
            owned->set(2);
            owned.reset();
        }
    });
    auto recorder = owned->subscribe([&](const int& v) { seen.push_back(v); });
    owned->set(1);
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
}

TEST(Published, SubscribeOnMainDeliversLaterInOrderAndNotAfterReset)
{
    ScopedVirtualMainQueue queue;
    Published<QString> value(QStringLiteral("a"));
    std::vector<QString> seen;
    auto sub = value.subscribeOnMain([&](const QString& v) { seen.push_back(v); });
    value.set(QStringLiteral("b"));
    EXPECT_TRUE(seen.empty());
    queue->runUntilIdle();
    EXPECT_EQ(seen, (std::vector<QString>{"a", "b"}));

    // A nested set reaches the main-queue subscriber after the value that caused it.
    auto chain = value.subscribe([&](const QString& v) {
        if (v == "b2")
            value.set(QStringLiteral("b3"));
    });
    value.set(QStringLiteral("b2"));
    queue->runUntilIdle();
    EXPECT_EQ(seen, (std::vector<QString>{"a", "b", "b2", "b3"}));

    value.set(QStringLiteral("c"));
    sub.reset(); // already queued deliveries are dropped too
    queue->runUntilIdle();
    EXPECT_EQ(seen.size(), 4u);
}

TEST(Published, MutateInPlacePublishesWithoutCopyingAndKeepsTheValueWhenTheChangeThrows)
{
    QList<int> initial{1, 2};
    initial.reserve(8);
    Published<QList<int>> list(std::move(initial));
    std::vector<QList<int>> seen;
    auto sub = list.subscribe([&](const QList<int>& v) { seen.push_back(v); });
    seen.clear(); // the first delivery's copy lets go of the data
    const int* before = list.get().constData();
    list.mutateInPlace([](QList<int>& v) { v.append(3); });
    EXPECT_EQ(list.get().constData(), before) << "appended in place";
    EXPECT_EQ(seen, (std::vector<QList<int>>{{1, 2, 3}}));
    seen.clear();

    EXPECT_THROW(list.mutateInPlace([](QList<int>& v) {
        v.append(4);
        throw std::runtime_error("stop");
    }),
                 std::runtime_error);
    EXPECT_EQ(list.get(), (QList<int>{1, 2, 3, 4}));
    EXPECT_TRUE(seen.empty()) << "nothing is published for a change that failed";
}

TEST(Published, ValuesSetWithNobodyListeningReachALaterSubscriberOnlyAsTheCurrentOne)
{
    Published<int> value(0);
    value.set(1);
    value.set(2);
    std::vector<int> seen;
    auto subscription = value.subscribe([&](int v) { seen.push_back(v); });
    value.set(3);
    subscription.reset();
    value.set(4);
    EXPECT_EQ(seen, (std::vector<int>{2, 3}));
    std::vector<int> later;
    const auto again = value.subscribe([&](int v) { later.push_back(v); });
    value.set(5);
    EXPECT_EQ(later, (std::vector<int>{4, 5}));
}
