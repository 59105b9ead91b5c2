#include "platform/cloud/folder/FolderLock.h"

#include "platform/cloud/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <mutex>
#include <thread>

namespace velmor::cloud::folder {

namespace {

const QString lockName = QStringLiteral(".lock");
constexpr qint64 maxLockBytes = 4096;
constexpr std::chrono::milliseconds lookEvery{50};
// /proc/<id>/comm holds the first 15 bytes of a program's name.
constexpr qsizetype taskNameBytes = 15;

Error cannotWrite(const Folder& account, const QString& reason)
{
    return Error(Error::Code::permissionFailure,
                 QStringLiteral("The cloud folder “%1” cannot be written: %2").arg(account.path(), reason));
}

Error notALockFile(const Folder& account, files::FileKind kind)
{
    return Error(Error::Code::serviceUnavailable,
                 QStringLiteral("“%1” is %2, not a lock file. Nothing can be saved to the cloud folder until it is "
                                "removed.")
                     .arg(account.pathOf(lockName), files::kindText(kind)));
}

// The file name of a program as /proc shows it, without the mark of one replaced while it runs.
QByteArray programName(const QString& exeLink)
{
    QString name = QFileInfo(QFile::symLinkTarget(exeLink)).fileName();
    name.remove(QRegularExpression(QStringLiteral(" \\(deleted\\)$")));
    return name.toUtf8();
}

QByteArray lockText(const QString& hostName)
{
    return QByteArray::number(::getpid()) + '\n' + programName(QStringLiteral("/proc/self/exe")) + '\n'
        + hostName.toUtf8() + '\n' + QByteArray::number(QRandomGenerator::global()->generate64(), 16) + '\n';
}

// What this machine says of the holder a lock's text names.
enum class Holder { elsewhere, runs, gone };

// The texts of the locks this process holds now.
class HeldHere {
public:
    static HeldHere& instance()
    {
        static HeldHere held;
        return held;
    }
    void add(const QByteArray& text)
    {
        const std::lock_guard lock(mutex_);
        texts_.insert(text);
    }
    void remove(const QByteArray& text)
    {
        const std::lock_guard lock(mutex_);
        texts_.remove(text);
    }
    bool contains(const QByteArray& text)
    {
        const std::lock_guard lock(mutex_);
        return texts_.contains(text);
    }

private:
    std::mutex mutex_;
    QSet<QByteArray> texts_;
};

// A holder on this machine is asked by its process id: gone when no process has the
// id, or the one that has it runs another program (the id came round again, or the
// machine started anew). Another user's process shows only its task name, which a
// link may have given another name: one that does not match is not known to be gone.
Holder holderOnThisMachine(const QByteArray& text, const QString& hostName)
{
    const QList<QByteArray> lines = text.split('\n');
    bool isNumber = false;
    const qint64 pid = lines.value(0).toLongLong(&isNumber);
    if (!isNumber || pid <= 0 || pid > std::numeric_limits<pid_t>::max() || lines.size() < 3
        || lines.at(2) != hostName.toUtf8() || lines.at(1).isEmpty())
        return Holder::elsewhere;
    // One of this process's own that no lock holds any more (its removal failed) is gone.
    if (pid == ::getpid())
        return HeldHere::instance().contains(text) ? Holder::runs : Holder::gone;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)
        return errno == ESRCH ? Holder::gone : Holder::elsewhere;
    const QByteArray& program = lines.at(1);
    const QString process = QStringLiteral("/proc/%1/").arg(pid);
    if (const QByteArray running = programName(process + QStringLiteral("exe")); !running.isEmpty())
        return running == program ? Holder::runs : Holder::gone;
    QFile task(process + QStringLiteral("comm"));
    if (task.open(QIODevice::ReadOnly) && task.readAll().trimmed() == program.left(taskNameBytes))
        return Holder::runs;
    return Holder::elsewhere;
}

} // namespace

FolderLock::FolderLock(const Folder& account, const LockTiming& timing)
    : account_(account), hostName_(timing.hostName.isEmpty() ? QSysInfo::machineHostName() : timing.hostName),
      text_(lockText(hostName_))
{
    const auto now = [&timing] { return timing.now ? timing.now() : LockTiming::Clock::now(); };
    const auto start = now();
    std::optional<Look> seen;
    auto seenSince = start;
    for (;;) {
        if (const int fault = account.changeFault(lockName))
            throw cannotWrite(account, files::systemErrorText(fault));
        int error = 0;
        if ((mine_ = account.createNew(lockName, text_, &error))) {
            renewal_.emplace(mine_.get(), timing.renewEvery);
            HeldHere::instance().add(text_);
            return;
        }
        if (error != EEXIST)
            throw cannotWrite(account, files::systemErrorText(error));
        const Look look = lookAtHolder();
        if (look.stamp.kind == files::FileKind::missing)
            continue; // let go meanwhile
        const auto at = now();
        if (look != seen) {
            seen = look;
            seenSince = at;
        }
        // A holder that runs here is never taken from, renewing or not; one elsewhere is
        // watched for as long as a live one renews.
        const Holder holder = holderOnThisMachine(look.text.value_or(QByteArray()), hostName_);
        const bool stale = holder == Holder::gone
            || (holder == Holder::elsewhere && at - seenSince >= std::chrono::milliseconds(staleLockMs));
        // Only the file looked at goes: a holder that came meanwhile keeps its lock.
        if (stale && account.stamp(lockName) == look.stamp) {
            try {
                account.removeFile(lockName);
                seen.reset();
                continue;
            } catch (const Error&) {
                // Not this client's to remove: waited for like a live one.
            }
        }
        if (at - start >= std::chrono::milliseconds(lockWaitMs))
            throw Error(Error::Code::serviceUnavailable,
                        QStringLiteral("The cloud folder “%1” is locked by another client.").arg(account.path()));
        if (timing.pause)
            timing.pause(lookEvery);
        else
            std::this_thread::sleep_for(lookEvery);
    }
}

FolderLock::~FolderLock()
{
    renewal_.reset();
    HeldHere::instance().remove(text_);
    // Only the file this lock made: a client that took the lock has its own there.
    if (isMine()) {
        try {
            account_.removeFile(lockName);
        } catch (const Error&) {
            // Left behind, it goes stale.
        }
    }
}

void FolderLock::confirmHeld() const
{
    if (!isMine())
        throw Error(Error::Code::serverRecordChanged,
                    QStringLiteral("Another client took the lock of the cloud folder “%1” while this one saved; "
                                   "nothing was written.")
                        .arg(account_.path()));
}

bool FolderLock::isMine() const
{
    struct stat mine {};
    if (const files::FileStamp now = account_.stamp(lockName);
        ::fstat(mine_.get(), &mine) != 0 || now.kind != files::FileKind::regular
        || now.device != static_cast<quint64>(mine.st_dev) || now.inode != static_cast<quint64>(mine.st_ino))
        return false;
    const files::FileRead read = account_.read(lockName, maxLockBytes);
    return read.bytes == text_;
}

FolderLock::Look FolderLock::lookAtHolder() const
{
    files::FileRead read = account_.read(lockName, maxLockBytes);
    if (read.failure == files::ReadFailure::notRegular)
        throw notALockFile(account_, account_.stamp(lockName).kind);
    return Look{std::move(read.bytes), account_.stamp(lockName)};
}

} // namespace velmor::cloud::folder
