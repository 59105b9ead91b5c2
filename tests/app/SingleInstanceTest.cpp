// One Velmor per user and data folder: the second start hands over.

#include "app/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <future>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

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
    QTemporaryDir runtime; // private, as QTemporaryDir makes it
    const runtimeFolder::Candidates candidates{runtime.path(), {}};
    const auto first = SingleInstance::forDataFolder(a.path(), candidates);
    EXPECT_EQ(first->socketPath(), SingleInstance::forDataFolder(a.path() + "/.", candidates)->socketPath());
    EXPECT_NE(first->socketPath(), SingleInstance::forDataFolder(b.path(), candidates)->socketPath());
    EXPECT_TRUE(first->socketPath().startsWith(runtime.path() + '/'));
    EXPECT_NE(first->socketPath(), first->lockPath());
}

// Another user's folder or names, simulated with what this user can make: a
// folder open to all, a link, a file in the folder's place, and (as root) a
// folder owned by someone else.
class Squatted : public ::testing::Test {
protected:
    QString path(const QString& name) const { return QDir(root.path()).filePath(name); }
    QString folder(const QString& name, mode_t mode) const
    {
        const QByteArray local = QFile::encodeName(path(name));
        EXPECT_EQ(::mkdir(local.constData(), mode), 0);
        EXPECT_EQ(::chmod(local.constData(), mode), 0);
        return path(name);
    }
    static mode_t modeOf(const QString& path)
    {
        struct stat status {};
        EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &status), 0);
        return status.st_mode;
    }

    QTemporaryDir root;
};

TEST_F(Squatted, OnlyAFolderOfThisUserWithMode0700IsUsedAndNoneIsChanged)
{
    const QString own = folder("own", 0700);
    const QString open = folder("open", 0777);
    const QString shared = folder("shared", 0755);
    ASSERT_TRUE(QFile::link(own, path("link")));
    QFile file(path("file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_TRUE(runtimeFolder::isPrivate(own));
    for (const QString name : {"open", "shared", "link", "file", "missing"})
        EXPECT_FALSE(runtimeFolder::isPrivate(path(name))) << name.toStdString();
    if (::getuid() == 0) {
        const QString theirs = folder("theirs", 0700);
        ASSERT_EQ(::chown(QFile::encodeName(theirs).constData(), 65534, 65534), 0);
        EXPECT_FALSE(runtimeFolder::isPrivate(theirs));
        EXPECT_FALSE(runtimeFolder::makePrivate(theirs));
    }

    // A squatted runtime folder or fallback is passed over, left as it is, and
    // the next fallback is made private whatever the umask.
    const mode_t umask = ::umask(0);
    const std::optional<QString> chosen = runtimeFolder::choose(
        {open, {path("link"), path("file"), shared, path("made/velmor-runtime"), path("later")}});
    ::umask(umask);
    EXPECT_EQ(chosen, path("made/velmor-runtime"));
    EXPECT_EQ(modeOf(*chosen) & 07777, 0700u);
    EXPECT_EQ(modeOf(open) & 07777, 0777u);
    EXPECT_EQ(modeOf(shared) & 07777, 0755u);
    EXPECT_TRUE(S_ISLNK(modeOf(path("link"))));
    EXPECT_FALSE(QFile::exists(path("later")));

    // The user's runtime folder, when private, comes first.
    EXPECT_EQ(runtimeFolder::choose({own, {path("later")}}), own);
    EXPECT_FALSE(QFile::exists(path("later")));
}

TEST_F(Squatted, ASquatterAnsweringInTheOldSharedPlaceOrAFolderMadeForUsDoesNotStopAStart)
{
    // Squatters answer "ok" to every reopen, holding the lock beside their socket.
    struct Squatter {
        Squatter(const QString& lockPath, const QString& socketPath) : lock(lockPath)
        {
            EXPECT_TRUE(lock.tryLock(std::chrono::milliseconds::zero()));
            EXPECT_TRUE(server.listen(socketPath));
            QObject::connect(&server, &QLocalServer::newConnection, [this] {
                ++asked;
                server.nextPendingConnection()->write(SingleInstance::reopenAnswer);
            });
        }
        QLockFile lock;
        QLocalServer server;
        int asked = 0;
    };
    const QString data = path("data");
    const QString name = QFileInfo(SingleInstance::forDataFolder(data, {folder("own", 0700), {}})->lockPath()).completeBaseName();
    const QString tmp = folder("tmp", 01777);
    const QString uid = QString::number(::getuid());
    // The old shared names, in the temporary folder, as another user would make them first.
    const Squatter inTheOldPlace(tmp + "/" + name + ".lock", tmp + "/" + name + ".socket");
    // The folder the temporary place now uses, made first by "another user" (open to all).
    const QString made = folder("tmp/velmor-" + uid, 0777);
    const Squatter inTheNewPlace(made + "/" + name + ".lock", made + "/" + name + ".socket");

    const runtimeFolder::Candidates candidates{{}, {made, path("cache/velmor-runtime")}};
    // The start blocks on the socket while this thread's loop lets the squatters answer.
    std::optional<Role> role;
    QString socket;
    const std::unique_ptr<QThread> velmor(QThread::create([&] {
        auto instance = SingleInstance::forDataFolder(data, candidates);
        role = instance->start(std::chrono::seconds(5));
        socket = instance->socketPath();
    }));
    velmor->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return velmor->isFinished(); }, 20'000));
    EXPECT_EQ(role, Role::primary);
    EXPECT_TRUE(socket.startsWith(path("cache/velmor-runtime/"))) << socket.toStdString();
    EXPECT_EQ(inTheOldPlace.asked + inTheNewPlace.asked, 0);
    EXPECT_EQ(SingleInstance::forDataFolder(data, candidates)->socketPath(), socket) << "the next start looks there too";

    // With no private place at all, the start fails and says which were tried.
    const auto nowhere = SingleInstance::forDataFolder(data, {made, {tmp}});
    EXPECT_EQ(nowhere->start(std::chrono::milliseconds::zero()), Role::failed);
    EXPECT_TRUE(nowhere->failure().startsWith("no private folder for the lock and socket")) << nowhere->failure().toStdString();
    EXPECT_EQ(inTheOldPlace.asked + inTheNewPlace.asked, 0);
}

} // namespace
