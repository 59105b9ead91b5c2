// The figures the kernel-VM benchmark reports: percentiles by nearest rank,
// and the key tally that tells a lost, repeated or stuck key from a clean run.
#include "Measures.h"

#include <gtest/gtest.h>

#include <linux/input-event-codes.h>

#include <numeric>

using namespace velmor::bench;

TEST(BenchSummary, MedianP99AndMaxOfUnsortedSamples)
{
    EXPECT_EQ(summarize({}).count, 0u);

    const Summary one = summarize({4.0});
    EXPECT_EQ(one.median, 4.0);
    EXPECT_EQ(one.p99, 4.0);
    EXPECT_EQ(one.max, 4.0);

    // An even count takes the mean of the middle two.
    EXPECT_EQ(summarize({3.0, 1.0, 4.0, 2.0}).median, 2.5);
    EXPECT_EQ(summarize({5.0, 1.0, 3.0}).median, 3.0);

    // 2,000 samples 1…2,000, shuffled: the 99th percentile is the 1,980th, not an interpolation.
    std::vector<double> samples(2000);
    std::iota(samples.begin(), samples.end(), 1.0);
    std::reverse(samples.begin(), samples.begin() + 1000);
    const Summary many = summarize(samples);
    EXPECT_EQ(many.count, 2000u);
    EXPECT_EQ(many.median, 1000.5);
    EXPECT_EQ(many.p99, 1980.0);
    EXPECT_EQ(many.max, 2000.0);

    // With fewer than 100 samples the 99th percentile is the largest.
    EXPECT_EQ(summarize({1.0, 2.0, 50.0}).p99, 50.0);
}

TEST(BenchKeyTally, CleanShortcutsLeaveNothingHeld)
{
    KeyTally tally;
    for (int press = 0; press < 3; ++press) {
        tally.add(KEY_LEFTCTRL, 1);
        tally.add(KEY_Z, 1);
        tally.add(KEY_Z, 2); // autorepeat is not a press
        tally.add(KEY_Z, 0);
        tally.add(KEY_LEFTCTRL, 0);
    }
    EXPECT_EQ(tally.presses(KEY_Z), 3);
    EXPECT_EQ(tally.releases(KEY_Z), 3);
    EXPECT_EQ(tally.presses(KEY_A), 0);
    EXPECT_TRUE(tally.held().isEmpty());
    EXPECT_EQ(tally.strayReleases(), 0);
}

TEST(BenchKeyTally, HeldKeysAndReleasesOutOfOrderAreCaught)
{
    KeyTally tally;
    tally.add(KEY_Z, 0); // released before any press
    tally.add(KEY_LEFTCTRL, 1);
    tally.add(KEY_Z, 1);
    tally.add(KEY_Z, 0);
    tally.add(KEY_Z, 0); // a second release of one press
    EXPECT_EQ(tally.strayReleases(), 2);
    EXPECT_EQ(tally.held(), QList<std::uint16_t>{KEY_LEFTCTRL});
    EXPECT_EQ(tally.releases(KEY_Z), 3);
}
