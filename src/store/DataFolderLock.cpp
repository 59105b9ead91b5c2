#include "store/DataFolderLock.h"

#include "platform/RegularFile.h"
#include "platform/Text.h"

#include <QDir>
#include <QSysInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmor {

namespace {

// Host names are at most 255 bytes; anything longer was not written by a Velmor.
constexpr qint64 maxFileBytes = 1024;

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

} // namespace

DataFolderLock::DataFolderLock(QString folder) : folder_(std::move(folder)) {}

QString DataFolderLock::path() const { return QDir(folder_).filePath(fileName); }

DataFolderLock::Holder DataFolderLock::self()
{
    return {QSysInfo::machineHostName(), static_cast<qint64>(::getpid())};
}

QByteArray DataFolderLock::encode(const Holder& holder)
{
    return QByteArray::number(holder.pid) + '\n' + holder.host.toUtf8() + '\n';
}

std::optional<DataFolderLock::Holder> DataFolderLock::decode(const QByteArray& bytes)
{
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.size() != 3 || !lines[2].isEmpty() || lines[1].isEmpty())
        return std::nullopt;
    bool isNumber = false;
    const qint64 pid = lines[0].toLongLong(&isNumber);
    if (!isNumber || pid <= 0)
        return std::nullopt;
    return Holder{QString::fromUtf8(lines[1]), pid};
}

UniqueFd DataFolderLock::open()
{
    const QByteArray name = QFile::encodeName(path());
    // A few turns: another start may make the file between our removal and our open.
    for (int attempt = 0; attempt < 3; ++attempt) {
        struct stat entry {};
        if (::lstat(name.constData(), &entry) == 0 && !S_ISREG(entry.st_mode)) {
            const files::FileKind kind = S_ISDIR(entry.st_mode) ? files::FileKind::folder
                                         : S_ISLNK(entry.st_mode) ? files::FileKind::link
                                                                   : files::FileKind::other;
            // Never opened: a device may answer an open, a link leads elsewhere.
            if (kind == files::FileKind::folder || (::unlink(name.constData()) != 0 && errno != ENOENT)) {
                message_ = QStringLiteral("“%1” is %2, not a regular file. Velmor cannot tell whether another Velmor "
                                          "uses this data folder; remove it, then start Velmor again.")
                               .arg(shown(path()), files::kindText(kind));
                return {};
            }
            continue;
        }
        UniqueFd fd(::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
        if (!fd) {
            if (errno == ELOOP || errno == ENXIO || errno == EISDIR)
                continue; // put there since we looked
            message_ = QStringLiteral("“%1” could not be opened: %2. Velmor cannot tell whether another Velmor uses "
                                      "this data folder.")
                           .arg(shown(path()), files::systemErrorText(errno));
            return {};
        }
        struct stat opened {};
        if (::fstat(fd.get(), &opened) == 0 && S_ISREG(opened.st_mode))
            return fd;
    }
    message_ = QStringLiteral("“%1” keeps being replaced by something that is not a regular file. Velmor cannot tell "
                              "whether another Velmor uses this data folder.")
                   .arg(shown(path()));
    return {};
}

DataFolderLock::Outcome DataFolderLock::acquire()
{
    holder_.reset();
    message_.clear();
    QDir().mkpath(folder_);
    UniqueFd fd = open();
    if (!fd)
        return Outcome::failed;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            QByteArray bytes(maxFileBytes, '\0');
            const ssize_t read = ::pread(fd.get(), bytes.data(), bytes.size(), 0);
            holder_ = read > 0 ? decode(bytes.first(read)) : std::nullopt;
            message_ = inUseText();
            return Outcome::inUse;
        }
        message_ = QStringLiteral("The data folder “%1” keeps no locks (%2): Velmor cannot tell whether another "
                                  "Velmor uses it, on this computer or another.")
                       .arg(shown(folder_), files::systemErrorText(errno));
        return Outcome::unsupported;
    }
    // Who holds it, for the message of a second start; the lock holds without it.
    const QByteArray bytes = encode(self());
    if (::ftruncate(fd.get(), 0) == 0)
        (void)files::writeAll(fd.get(), bytes);
    fd_ = std::move(fd);
    return Outcome::held;
}

QString DataFolderLock::inUseText() const
{
    QString where = QStringLiteral("in another session or on another computer");
    if (holder_ && holder_->host == self().host)
        where = QStringLiteral("on this computer, in another session (process %1)").arg(holder_->pid);
    else if (holder_)
        where = QStringLiteral("on “%1” (process %2)").arg(text::shortenedName(holder_->host)).arg(holder_->pid);
    return QStringLiteral("Velmor is already running with the data folder “%1” %2. Only one Velmor at a time can "
                          "use a data folder, so this one quits without changing anything there. Quit Velmor "
                          "there, then start it here again.")
        .arg(shown(folder_), where);
}

} // namespace velmor
