// One Velmor per user and data folder: the second start hands over.

#include "app/SingleInstance.h"

#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <future>

using namespace velmor;
using Role = SingleInstance::Role;

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    std::unique_ptr<SingleInstance> instance() const
    {
        return std::make_unique<SingleInstance>(folder.path(), QStringLiteral("velmor-test"));
    }

    QTemporaryDir folder;
};

TEST_F(SingleInstanceTest, ASecondStartAsksTheRunningOneToReopenAndEndsAndFailsWhenItDoesNotListen)
{
    const auto first = instance();
    ASSERT_EQ(first->start(std::chrono::milliseconds::zero()), Role::primary) << first->failure().toStdString();
    int reopened = 0;
    first->onReopen = [&] { ++reopened; };

    // The second start blocks on the socket, so it runs beside this thread's event loop.
    auto second = std::async(std::launch::async, [this] { return instance()->start(std::chrono::seconds(20)); });
    const auto done = [&] { return second.wait_for(std::chrono::seconds::zero()) == std::future_status::ready; };
    ASSERT_TRUE(QTest::qWaitFor(done, 20'000));
    EXPECT_EQ(second.get(), Role::handedOver);
    EXPECT_TRUE(QTest::qWaitFor([&] { return reopened == 1; }, 5'000));

    first->stopListening();
    EXPECT_EQ(instance()->start(std::chrono::milliseconds::zero()), Role::failed) << "not taken over";
}

TEST_F(SingleInstanceTest, TheLockAndSocketOfADeadProcessAreTakenOver)
{
    // A process that has ended leaves its lock file and a socket file behind.
    QProcess gone;
    gone.start("true");
    ASSERT_TRUE(gone.waitForStarted(10'000));
    const qint64 pid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished(10'000));
    const auto next = instance();
    QFile lock(next->lockPath());
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly) && lock.write(QByteArray::number(pid) + "\nvelmor\n\n") > 0);
    lock.close();
    QFile socket(next->socketPath());
    ASSERT_TRUE(socket.open(QIODevice::WriteOnly));

    ASSERT_EQ(next->start(std::chrono::milliseconds::zero()), Role::primary) << next->failure().toStdString();
    QLocalSocket client;
    client.connectToServer(next->socketPath());
    EXPECT_TRUE(client.waitForConnected(5'000));
}

TEST(SingleInstanceNames, OneNamePerDataFolder)
{
    QTemporaryDir a;
    QTemporaryDir b;
    const auto first = SingleInstance::forDataFolder(a.path());
    EXPECT_EQ(first->socketPath(), SingleInstance::forDataFolder(a.path() + "/.")->socketPath());
    EXPECT_NE(first->socketPath(), SingleInstance::forDataFolder(b.path())->socketPath());
    EXPECT_NE(first->socketPath(), first->lockPath());
}

} // namespace
