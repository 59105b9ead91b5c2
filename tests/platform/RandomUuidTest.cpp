#include "platform/RandomUuid.h"

#include <QSet>

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
