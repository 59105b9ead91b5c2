#include "platform/cloud/folder/FolderLock.h"

#include "platform/cloud/Error.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSysInfo>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace velmor::cloud::folder {

namespace {

const QString lockName = QStringLiteral(".lock");
constexpr qint64 maxLockBytes = 4096;

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

QByteArray lockText()
{
    const QString program = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).fileName();
    return QByteArray::number(::getpid()) + '\n' + program.toUtf8() + '\n' + QSysInfo::machineHostName().toUtf8()
        + '\n';
}

} // namespace

FolderLock::FolderLock(const Folder& account) : account_(account)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(lockWaitMs);
    for (;;) {
        if (const int fault = account.changeFault(lockName))
            throw cannotWrite(account, files::systemErrorText(fault));
        int error = 0;
        if ((mine_ = account.createNew(lockName, lockText(), &error)))
            return;
        if (error != EEXIST)
            throw cannotWrite(account, files::systemErrorText(error));
        if (holderIsGone()) {
            try {
                account.removeFile(lockName);
            } catch (const Error&) {
                // Taken again by a rival or replaced: the next round looks again.
            }
            continue;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            throw Error(Error::Code::serviceUnavailable,
                        QStringLiteral("The cloud folder “%1” is locked by another client.").arg(account.path()));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

FolderLock::~FolderLock()
{
    // Only the file this lock made: a stale-lock breaker may have replaced it.
    struct stat mine {};
    if (const files::FileStamp now = account_.stamp(lockName);
        ::fstat(mine_.get(), &mine) == 0 && now.kind == files::FileKind::regular
        && now.device == static_cast<quint64>(mine.st_dev) && now.inode == static_cast<quint64>(mine.st_ino)) {
        try {
            account_.removeFile(lockName);
        } catch (const Error&) {
            // Left behind, it goes stale.
        }
    }
}

bool FolderLock::holderIsGone() const
{
    const files::FileRead read = account_.read(lockName, maxLockBytes);
    if (read.failure == files::ReadFailure::missing)
        return true;
    if (read.failure == files::ReadFailure::notRegular)
        throw notALockFile(account_, account_.stamp(lockName).kind);
    if (read.bytes) {
        const QList<QByteArray> lines = read.bytes->split('\n');
        bool isNumber = false;
        const qint64 pid = lines.value(0).toLongLong(&isNumber);
        if (isNumber && pid > 0 && lines.size() >= 3 && lines.at(2) == QSysInfo::machineHostName().toUtf8()
            && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            return true;
    }
    const files::FileStamp stamp = account_.stamp(lockName);
    const qint64 ageMs = QDateTime::currentMSecsSinceEpoch() - stamp.modifiedNs / 1'000'000;
    return stamp.kind == files::FileKind::regular && std::abs(ageMs) > staleLockMs;
}

} // namespace velmor::cloud::folder
