// The folder database's lock between clients in one process: each client's own
// FolderAccount, the waiter on a clock the test drives, the holder held up inside
// its save by the change seam while another client tries the lock.
#include "platform/cloud/Error.h"
#include "platform/cloud/folder/FolderAccount.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

using namespace velmor;
using namespace velmor::cloud;
using namespace velmor::test;
using namespace std::chrono_literals;
using folder::FolderAccount;
using folder::FolderLock;
using folder::LockTiming;

namespace {

// A waiter's monotonic clock, moved on only by its own pauses.
struct WaiterClock {
    LockTiming::Clock::time_point now{};
    std::chrono::milliseconds waited{0};
    std::function<void()> onPause;

    LockTiming timing(const QString& hostName = {})
    {
        return {[this] { return now; },
                [this](std::chrono::milliseconds pause) {
                    now += pause;
                    waited += pause;
                    if (onPause)
                        onPause();
                },
                hostName, 2s};
    }
};

class FolderLockTest : public PlatformFixture {
protected:
    FolderLockTest() { QDir().mkpath(share()); }

    QString share() const { return supportPath("share"); }
    QString lockPath() const { return share() + "/.lock"; }
    QString recordPath() const { return share() + "/records/profiles.json"; }

    std::unique_ptr<FolderAccount> client(const QString& id, folder::ChangeFault fault = {}, LockTiming timing = {})
    {
        return std::make_unique<FolderAccount>(FolderLocation{share(), true}, id, std::move(fault), std::move(timing));
    }
    // Runs `during` once, while `holder` holds the lock in its next write of the profiles record.
    folder::ChangeFault whileWriting(std::function<void()> during)
    {
        return [this, during = std::move(during), done = false](const QString& path) mutable {
            if (path == recordPath() && !std::exchange(done, true))
                during();
            return 0;
        };
    }

    static Record profiles(const QByteArray& payload, const Record& base = Record("VelmorProfiles", "profiles"))
    {
        Record record = base;
        record.setValue("payload", payload);
        return record;
    }
    QByteArray storedPayload() { return client("reader")->fetchRecord("profiles").bytes("payload").value_or(""); }

    void setModified(const QString& path, std::chrono::seconds fromNow)
    {
        const time_t at = ::time(nullptr) + fromNow.count();
        const struct timespec times[2] = {{at, 0}, {at, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
    }

    // Tries to save while the lock is another's: the error, or none when it saved.
    static std::optional<Error> trySave(FolderAccount& account, const Record& record)
    {
        try {
            account.saveRecord(record);
            return std::nullopt;
        } catch (const Error& e) {
            return e;
        }
    }
};

// A process of this program that runs until it goes.
class LiveProcess {
public:
    LiveProcess()
    {
        int ends[2] = {-1, -1};
        EXPECT_EQ(::pipe(ends), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ends[1]);
            char byte = 0;
            [[maybe_unused]] const ssize_t read = ::read(ends[0], &byte, 1);
            ::_exit(0);
        }
        ::close(ends[0]);
        release_ = ends[1];
    }
    ~LiveProcess()
    {
        ::close(release_);
        ::waitpid(pid_, nullptr, 0);
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
};

pid_t unusedProcessId()
{
    for (pid_t pid = 4'000'000; pid > 1; --pid)
        if (::kill(pid, 0) != 0 && errno == ESRCH)
            return pid;
    return 0;
}

TEST_F(FolderLockTest, ALiveHolderIsWaitedForHoweverLongItsWriteTakes)
{
    // The holder's write takes longer than a lock may stay unchanged: a share's slow fsync.
    // Meanwhile a client on this machine asks the holder's process, and one on another
    // machine watches the holder's renewals; neither takes the lock.
    WaiterClock here;
    WaiterClock there;
    bool heldUp = false;
    std::optional<Error> hereFound;
    std::optional<Error> thereFound;
    const auto holder =
        client("A", whileWriting([&] {
                   heldUp = true;
                   hereFound = trySave(*client("B", {}, here.timing()), profiles("from B"));
                   // Each two seconds of the waiter's, the holder (renewing every millisecond) touched its lock.
                   files::FileStamp last = files::fileStamp(lockPath());
                   there.onPause = [&] {
                       if (there.waited % 2s != 0ms)
                           return;
                       const auto deadline = std::chrono::steady_clock::now() + 10s;
                       while (files::fileStamp(lockPath()) == last && std::chrono::steady_clock::now() < deadline)
                           std::this_thread::yield();
                       last = files::fileStamp(lockPath());
                   };
                   thereFound = trySave(*client("C", {}, there.timing("other-machine")), profiles("from C"));
               }),
               {nullptr, nullptr, {}, 1ms});
    holder->saveRecord(profiles("from A"));

    ASSERT_TRUE(heldUp);
    for (const auto& [found, clock] : {std::pair(&hereFound, &here), std::pair(&thereFound, &there)}) {
        ASSERT_TRUE(found->has_value());
        EXPECT_EQ((*found)->code(), Error::Code::serviceUnavailable);
        EXPECT_EQ((*found)->localizedDescription(),
                  QString("The cloud folder “%1” is locked by another client.").arg(share()));
        EXPECT_GE(clock->waited, std::chrono::milliseconds(FolderLock::lockWaitMs));
    }
    EXPECT_EQ(storedPayload(), "from A");
    EXPECT_FALSE(QFileInfo::exists(lockPath())) << "the holder let go of its own lock";
}

TEST_F(FolderLockTest, ALockLeftByAnotherMachineIsTakenOnceItStayedTheSameWhateverItsDate)
{
    // The waiter's clock 60 s ahead of the share's, or behind it: the lock's date says nothing.
    for (const auto offset : {-60s, 60s, 0s}) {
        SCOPED_TRACE(offset.count());
        writeFile(lockPath(), "1\nvelmor\nother-machine\n");
        setModified(lockPath(), offset);
        WaiterClock clock;
        EXPECT_FALSE(trySave(*client("B", {}, clock.timing()), profiles("from B")));
        EXPECT_GE(clock.waited, std::chrono::milliseconds(FolderLock::staleLockMs));
        EXPECT_LT(clock.waited, std::chrono::milliseconds(FolderLock::staleLockMs) + 1s);
        EXPECT_EQ(storedPayload(), "from B");
        QFile::remove(recordPath());
    }

    // One whose holder goes on renewing it stays its holder's, the date 60 s off or not.
    writeFile(lockPath(), "1\nvelmor\nother-machine\n");
    WaiterClock clock;
    int renewals = 0;
    clock.onPause = [&] {
        if (clock.waited % 3s == 0ms)
            setModified(lockPath(), ++renewals % 2 ? -60s : 60s);
    };
    const std::optional<Error> found = trySave(*client("B", {}, clock.timing()), profiles("from B"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->code(), Error::Code::serviceUnavailable);
    EXPECT_EQ(readFile(lockPath()), "1\nvelmor\nother-machine\n");
    EXPECT_FALSE(QFileInfo::exists(recordPath()));
}

TEST_F(FolderLockTest, AHolderGoneFromThisMachineIsTakenAtOnce)
{
    const pid_t unused = unusedProcessId();
    ASSERT_GT(unused, 0);
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    const QByteArray self = QByteArray::number(::getpid());
    const QByteArray program = QFileInfo(QFile::symLinkTarget("/proc/self/exe")).fileName().toUtf8();
    // No such process; one that runs another program than the lock's; and this
    // process, which holds no lock now (its removal failed, say).
    for (const QByteArray& lock : {QByteArray::number(unused) + "\nvelmor\n" + host + "\n",
                                   self + "\nvelmor-that-is-not-running\n" + host + "\n",
                                   self + '\n' + program + '\n' + host + "\n1234\n"}) {
        SCOPED_TRACE(lock.toStdString());
        writeFile(lockPath(), lock);
        WaiterClock clock;
        EXPECT_FALSE(trySave(*client("B", {}, clock.timing()), profiles("from B")));
        EXPECT_EQ(clock.waited, 0ms);
        QFile::remove(recordPath());
    }
    // The same process id on another machine is no process of this one.
    writeFile(lockPath(), QByteArray::number(unused) + "\nvelmor\nother-machine\n");
    WaiterClock clock;
    EXPECT_FALSE(trySave(*client("B", {}, clock.timing()), profiles("from B")));
    EXPECT_GE(clock.waited, std::chrono::milliseconds(FolderLock::staleLockMs));

    // A holder that runs here keeps its lock however long it stays the same.
    const LiveProcess holder;
    writeFile(lockPath(), QByteArray::number(holder.pid()) + '\n' + program + '\n' + host + '\n');
    WaiterClock waiter;
    const std::optional<Error> found = trySave(*client("B", {}, waiter.timing()), profiles("from B"));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->code(), Error::Code::serviceUnavailable);
    EXPECT_TRUE(QFileInfo::exists(lockPath()));
}

TEST_F(FolderLockTest, AHolderWhoseLockWasTakenWritesNothing)
{
    const Record first = client("A")->saveRecord(profiles("first"));
    // A share that hides the holder's renewals: the client on another machine sees the
    // lock unchanged for the stale time, takes it and saves over the first record.
    std::optional<Error> otherFound;
    WaiterClock clock;
    const auto holder = client("A", whileWriting([&] {
                                   otherFound = trySave(*client("B", {}, clock.timing("other-machine")),
                                                        profiles("from B", first));
                               }),
                               {nullptr, nullptr, {}, 1h});
    const std::optional<Error> found = trySave(*holder, profiles("from A", first));

    EXPECT_FALSE(otherFound);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->code(), Error::Code::serverRecordChanged) << "a conflict, which the sync merges and retries";
    EXPECT_EQ(storedPayload(), "from B");
    EXPECT_EQ(QDir(share() + "/records").entryList(QDir::Files | QDir::Hidden), QStringList{"profiles.json"})
        << "no temporary file left";
    EXPECT_FALSE(QFileInfo::exists(lockPath()));

    // Its next save, on what B wrote, goes through.
    EXPECT_EQ(client("A")->saveRecord(profiles("again", client("A")->fetchRecord("profiles"))).bytes("payload"),
              "again");
}

} // namespace
