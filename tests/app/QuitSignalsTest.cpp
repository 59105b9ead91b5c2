// SIGTERM and SIGINT reach the main loop as a quit, once; the next one is the default's.

#include "app/QuitSignals.h"

#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

using namespace velmor;

namespace {

bool isDefault(int number)
{
    struct sigaction current = {};
    ::sigaction(number, nullptr, &current);
    return current.sa_handler == SIG_DFL;
}

TEST(QuitSignals, EachSignalQuitsOnTheMainLoopAndTheNextOneIsTheDefaultsAgain)
{
    for (const int number : {SIGTERM, SIGINT}) {
        int quits = 0;
        {
            const QuitSignals handlers([&] { ++quits; });
            ASSERT_FALSE(isDefault(number));
            ASSERT_EQ(std::raise(number), 0);
            EXPECT_EQ(quits, 0) << "not inside the handler";
            EXPECT_TRUE(QTest::qWaitFor([&] { return quits == 1; }, 5'000)) << number;
            EXPECT_TRUE(isDefault(number)) << "a second signal ends the process";
        }
        EXPECT_TRUE(isDefault(SIGTERM));
        EXPECT_TRUE(isDefault(SIGINT));
    }
}

} // namespace
