#include "platform/RandomUuid.h"

#include <QSet>

#include <thread>

#include <gtest/gtest.h>

using namespace velmor;

TEST(RandomUuid, IsAVersionFourIdNeverRepeated)
{
    QSet<QUuid> seen;
    for (int i = 0; i < 10000; ++i) {
        const QUuid id = randomUuid();
        ASSERT_EQ(id.version(), QUuid::Random);
        ASSERT_EQ(id.variant(), QUuid::DCE);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 10000);
}

TEST(RandomUuid, ThreadsDrawDifferentIds)
{
    // Each thread has its own generator: a seed shared between them would repeat ids.
    const auto draw = [](QSet<QUuid>& ids) {
        for (int i = 0; i < 1000; ++i)
            ids.insert(randomUuid());
    };
    QSet<QUuid> here, first, second;
    draw(here);
    std::thread([&] { draw(first); }).join();
    std::thread([&] { draw(second); }).join();
    EXPECT_FALSE(here.intersects(first));
    EXPECT_FALSE(here.intersects(second));
    EXPECT_FALSE(first.intersects(second));
}
