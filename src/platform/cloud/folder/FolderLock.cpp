#include "platform/cloud/folder/FolderLock.h"

#include "platform/cloud/Error.h"

#include <QSet>
#include <QSysInfo>

#include <sys/stat.h>

#include <cerrno>
#include <mutex>
#include <thread>

namespace velmor::cloud::folder {

namespace {

const QString& lockName = FolderLock::fileName;
constexpr qint64 maxLockBytes = 4096;
constexpr std::chrono::milliseconds lookEvery{50};

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

// Waited for in vain: the lock was renewed all along, or it was left but cannot be removed.
Error stillLocked(const Folder& account, const std::optional<Error>& removal)
{
    const QString path = account.pathOf(lockName);
    if (removal)
        return Error(Error::Code::serviceUnavailable,
                     QStringLiteral("The cloud folder “%1” is locked by another client that stopped renewing its "
                                    "lock file “%2”, and the file cannot be removed (%3). Remove it by hand; the "
                                    "upload goes up once it is gone.")
                         .arg(account.path(), path, removal->localizedDescription()));
    return Error(Error::Code::serviceUnavailable,
                 QStringLiteral("The cloud folder “%1” is locked by another client, which kept renewing its lock "
                                "file “%2”. The upload goes up once the file is gone; should it stay while no "
                                "Velmor saves, remove it.")
                     .arg(account.path(), path));
}

} // namespace

FolderLock::FolderLock(const Folder& account, const LockTiming& timing)
    : account_(account),
      holder_(timing.hostName.isEmpty() ? QSysInfo::machineHostName() : timing.hostName, timing.computer),
      text_(holder_.lockText())
{
    const auto now = [&timing] { return timing.now ? timing.now() : LockTiming::Clock::now(); };
    const auto start = now();
    std::optional<Look> seen;
    auto seenSince = start;
    // Why the last lock left to go stayed.
    std::optional<Error> removal;
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
            removal.reset();
        }
        // Whoever holds it, a lock that its holder does not renew is no lock.
        const bool stale = at - seenSince >= std::chrono::milliseconds(staleLockMs)
            || holder_.isGone(look.text.value_or(QByteArray()),
                              [](const QByteArray& text) { return HeldHere::instance().contains(text); });
        // Only the file looked at goes: a holder that came meanwhile keeps its lock.
        if (stale && account.stamp(lockName) == look.stamp) {
            try {
                account.removeFile(lockName);
                seen.reset();
                removal.reset();
                continue;
            } catch (const Error& e) {
                // Not this client's to remove: waited for like a live one.
                removal = e;
            }
        }
        if (at - start >= std::chrono::milliseconds(lockWaitMs))
            throw stillLocked(account, removal);
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
