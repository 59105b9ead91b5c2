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

    LockTiming timing(const QString& hostName = {}, const QByteArray& computer = {})
    {
        return {[this] { return now; },
                [this](std::chrono::milliseconds pause) {
                    now += pause;
                    waited += pause;
                    if (onPause)
                        onPause();
                },
                hostName, computer, 2s};
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

    // Each two seconds of the waiter's, the holder (renewing every millisecond) has touched its lock.
    void followRenewals(WaiterClock& clock)
    {
        clock.onPause = [this, &clock, last = files::fileStamp(lockPath())]() mutable {
            if (clock.waited % 2s != 0ms)
                return;
            const auto deadline = std::chrono::steady_clock::now() + 10s;
            while (files::fileStamp(lockPath()) == last && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
            last = files::fileStamp(lockPath());
        };
    }
    QString renewedAllAlong() const
    {
        return QString("The cloud folder “%1” is locked by another client, which kept renewing its lock file “%2”. "
                       "The upload goes up once the file is gone; should it stay while no Velmor saves, remove it.")
            .arg(share(), lockPath());
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
    // Meanwhile a client on this computer, and one on another computer of the same host name
    // (a cloned image, a sandbox with process ids of its own), watch the holder's renewals;
    // neither takes the lock, and each is told which file holds it up.
    WaiterClock here;
    WaiterClock clone;
    bool heldUp = false;
    std::optional<Error> hereFound;
    std::optional<Error> cloneFound;
    const auto holder = client("A", whileWriting([&] {
                                   heldUp = true;
                                   followRenewals(here);
                                   hereFound = trySave(*client("B", {}, here.timing()), profiles("from B"));
                                   followRenewals(clone);
                                   cloneFound = trySave(*client("C", {}, clone.timing({}, "boot:1/pid-namespace:2")),
                                                        profiles("from C"));
                               }),
                               {nullptr, nullptr, {}, {}, 1ms});
    holder->saveRecord(profiles("from A"));

    ASSERT_TRUE(heldUp);
    for (const auto& [found, clock] : {std::pair(&hereFound, &here), std::pair(&cloneFound, &clone)}) {
        ASSERT_TRUE(found->has_value());
        EXPECT_EQ((*found)->code(), Error::Code::serviceUnavailable);
        EXPECT_EQ((*found)->localizedDescription(), renewedAllAlong());
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

TEST_F(FolderLockTest, OnlyAHolderCertainlyGoneFromThisComputerIsTakenAtOnce)
{
    const pid_t unused = unusedProcessId();
    ASSERT_GT(unused, 0);
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    const QByteArray computer = folder::LockHolder::thisComputer();
    ASSERT_FALSE(computer.isEmpty());
    const QByteArray here = host + ' ' + computer;
    const QByteArray self = QByteArray::number(::getpid());
    const QByteArray program = QFileInfo(QFile::symLinkTarget("/proc/self/exe")).fileName().toUtf8();
    const auto takenAfter = [&](const QByteArray& lock) {
        writeFile(lockPath(), lock);
        WaiterClock clock;
        EXPECT_FALSE(trySave(*client("B", {}, clock.timing()), profiles("from B")));
        QFile::remove(recordPath());
        return clock.waited;
    };
    // No such process; one that runs another program than the lock's; and this
    // process, which holds no lock now (its removal failed, say).
    for (const QByteArray& lock : {QByteArray::number(unused) + "\nvelmor\n" + here + "\n",
                                   self + "\nvelmor-that-is-not-running\n" + here + "\n",
                                   self + '\n' + program + '\n' + here + "\n1234\n"}) {
        SCOPED_TRACE(lock.toStdString());
        EXPECT_EQ(takenAfter(lock), 0ms);
    }

    // The same host name is not this computer: another boot (a cloned image) or process namespace (a
    // sandbox), or an older client that gave its host name alone. Its process ids are not this
    // computer's, so the lock goes only once it stayed the same for the stale time.
    const QByteArray unusedId = QByteArray::number(unused);
    for (const QByteArray& lock : {unusedId + "\nvelmor\n" + host + " boot:1/pid-namespace:2\n1\n",
                                   unusedId + "\nvelmor\n" + host + "\n", unusedId + "\nvelmor\nother-machine\n"}) {
        SCOPED_TRACE(lock.toStdString());
        const auto waited = takenAfter(lock);
        EXPECT_GE(waited, std::chrono::milliseconds(FolderLock::staleLockMs));
        EXPECT_LT(waited, std::chrono::milliseconds(FolderLock::staleLockMs) + 1s);
    }

    // A process that runs here but never renews the lock that names it (it stopped, or its
    // id came round to a program of that name): no holder once the stale time has passed.
    const LiveProcess holder;
    EXPECT_GE(takenAfter(QByteArray::number(holder.pid()) + '\n' + program + '\n' + here + '\n'),
              std::chrono::milliseconds(FolderLock::staleLockMs));
}

TEST_F(FolderLockTest, AHolderWhoseLockWasTakenWritesNothing)
{
    // A share that hides the holder's renewals from another computer, or a holder on this
    // one that stopped renewing: the waiter sees the lock unchanged for the stale time,
    // takes it and saves over the first record.
    client("A")->saveRecord(profiles("start"));
    for (const QString& waiterHost : {QString("other-machine"), QString()}) {
        SCOPED_TRACE(waiterHost.toStdString());
        const Record first = client("A")->saveRecord(profiles("first", client("A")->fetchRecord("profiles")));
        std::optional<Error> otherFound;
        WaiterClock clock;
        const auto holder = client("A", whileWriting([&] {
                                       otherFound = trySave(*client("B", {}, clock.timing(waiterHost)),
                                                            profiles("from B", first));
                                   }),
                                   {nullptr, nullptr, {}, {}, 1h});
        const std::optional<Error> found = trySave(*holder, profiles("from A", first));

        EXPECT_FALSE(otherFound);
        EXPECT_GE(clock.waited, std::chrono::milliseconds(FolderLock::staleLockMs));
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
}

} // namespace
