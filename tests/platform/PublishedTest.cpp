#include "platform/Published.h"
#include "platform/VirtualMainQueue.h"

#include <gtest/gtest.h>

#include <QList>
#include <QString>

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

TEST(Published, NestedSetDeliversEachValueSeenAtItsSet)
{
    Published<int> value(0);
    std::vector<int> seen;
    auto bump = value.subscribe([&](const int& v) {
        if (v == 1)
            value.set(2);
    });
    auto record = value.subscribe([&](const int& v) { seen.push_back(v); });
    value.set(1);
    // The nested set of 2 reaches the recorder before the outer delivery of 1 does.
    EXPECT_EQ(seen, (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(value.get(), 2);
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

    value.set(QStringLiteral("c"));
    sub.reset(); // already queued deliveries are dropped too
    queue->runUntilIdle();
    EXPECT_EQ(seen.size(), 2u);
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
