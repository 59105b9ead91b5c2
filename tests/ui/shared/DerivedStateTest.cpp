#include "ui/shared/DerivedState.h"

#include "support/TestSupport.h"

namespace velmor {
namespace {

using DerivedStateTest = test::PlatformFixture;

TEST_F(DerivedStateTest, ManySourceChangesInOneTurnGiveOneRefreshWithEveryCurrentValue)
{
    Published<int> a{1};
    Published<int> b{10};
    int computations = 0;
    DerivedState<int> sum([&] {
        ++computations;
        return a.get() + b.get();
    });
    sum.watch(a);
    sum.watch(b);
    std::vector<int> seen;
    const auto subscription = sum.published().subscribe([&](int value) { seen.push_back(value); });
    ASSERT_EQ(computations, 1) << "watching a source must not recompute";

    a.set(2);
    b.set(20);
    a.set(3);
    EXPECT_EQ(sum.get(), 11) << "the state changes only on the refresh turn";
    queue->runUntilIdle();
    EXPECT_EQ(computations, 2);
    EXPECT_EQ(seen, (std::vector<int>{11, 23}));

    sum.invalidate();
    sum.refreshNow();
    queue->runUntilIdle();
    EXPECT_EQ(computations, 3) << "a refresh made at once leaves nothing for the pending one";
}

TEST_F(DerivedStateTest, PendingRefreshDoesNothingOnceTheStateIsGone)
{
    Published<int> source{1};
    int computations = 0;
    {
        DerivedState<int> state([&] { return ++computations; });
        state.watch(source);
        source.set(2);
    }
    source.set(3);
    queue->runUntilIdle();
    EXPECT_EQ(computations, 1);
}

} // namespace
} // namespace velmor
