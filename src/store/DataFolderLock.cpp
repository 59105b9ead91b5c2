#include "store/DataFolderLock.h"

#include "platform/OwnFile.h"
#include "platform/RegularFile.h"
#include "platform/Text.h"

#include <QDir>
#include <QSysInfo>

#include <array>
#include <cerrno>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmor {

namespace {

// Host names are at most 255 bytes; anything longer was not written by a Velmor.
constexpr qint64 maxFileBytes = 1024;

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

// An open's failure that says the name holds something else since we looked (gone, or a
// link, device or folder put there): look again.
bool changedSinceLook(int error) { return error == ENOENT || error == ELOOP || error == ENXIO || error == EISDIR; }

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Velmor's own: a regular file of this account's, by no other name (a hard link to
// a document of the user's is that document).
bool isOwn(const struct stat& info)
{
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_nlink == 1;
}

// The account's name, else its number.
QString accountName(unsigned id)
{
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    if (::getpwuid_r(id, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return text::shortenedName(QString::fromLocal8Bit(found->pw_name));
    return QString::number(id);
}

// " belongs to another account (“nobody”) and" for a file of another account's, for
// texts like "“x”%1 cannot be opened".
QString ownerText(unsigned id)
{
    return id == ::geteuid() ? QString() : QStringLiteral(" belongs to another account (“%1”) and").arg(accountName(id));
}

QString whatToDo(unsigned ownerId)
{
    return ownerId == ::geteuid()
        ? QStringLiteral("Remove it, then start Velmor again.")
        : QStringLiteral("Quit Velmor in that account; if none runs there, remove the file, then start Velmor again.");
}

QString notOpenedText(const QString& path, int error)
{
    return QStringLiteral("“%1” could not be opened: %2. Velmor cannot tell whether another Velmor uses this data "
                          "folder.")
        .arg(shown(path), files::systemErrorText(error));
}

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

DataFolderLock::Step DataFolderLock::refuse(Outcome outcome, QString message)
{
    message_ = std::move(message);
    return {{}, false, outcome};
}

DataFolderLock::Step DataFolderLock::open()
{
    const QByteArray name = QFile::encodeName(path());
    struct stat entry {};
    if (::lstat(name.constData(), &entry) != 0) {
        if (errno == ENOENT)
            return makeOwn(false);
        return refuse(Outcome::failed, notOpenedText(path(), errno));
    }
    if (!S_ISREG(entry.st_mode)) {
        const files::FileKind kind = S_ISDIR(entry.st_mode)   ? files::FileKind::folder
                                     : S_ISLNK(entry.st_mode) ? files::FileKind::link
                                                              : files::FileKind::other;
        // Never opened: a device may answer an open, a link leads elsewhere.
        if (kind == files::FileKind::folder || (::unlink(name.constData()) != 0 && errno != ENOENT))
            return refuse(Outcome::failed,
                          QStringLiteral("“%1” is %2, not a regular file. Velmor cannot tell whether another Velmor "
                                         "uses this data folder; remove it, then start Velmor again.")
                              .arg(shown(path()), files::kindText(kind)));
        return {};
    }
    if (!isOwn(entry))
        return replace(name, entry.st_uid);
    UniqueFd fd(::open(name.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        if (errno == EACCES) // the user's, but not to be written
            return replace(name, entry.st_uid);
        if (changedSinceLook(errno))
            return {};
        return refuse(Outcome::failed, notOpenedText(path(), errno));
    }
    // A name given to it since we looked makes it another file's too.
    struct stat opened {};
    if (::fstat(fd.get(), &opened) != 0 || !sameFile(opened, entry) || !isOwn(opened))
        return {};
    return {std::move(fd), false, std::nullopt};
}

DataFolderLock::Step DataFolderLock::replace(const QByteArray& name, unsigned ownerId)
{
    // Opened only to ask whether someone holds it: it is never written.
    const UniqueFd probe(::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened {};
    if (!probe) {
        if (changedSinceLook(errno))
            return {};
        return refuse(Outcome::failed,
                      QStringLiteral("“%1”%2 cannot be opened (%3). Velmor cannot tell whether another Velmor uses "
                                     "this data folder. %4")
                          .arg(shown(path()), ownerText(ownerId), files::systemErrorText(errno), whatToDo(ownerId)));
    }
    if (::fstat(probe.get(), &opened) != 0 || !S_ISREG(opened.st_mode))
        return {};
    if (::flock(probe.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        // The user's own file, named twice, is held by the user's Velmor: its text is the user's.
        if (opened.st_uid == ::geteuid())
            return {{}, false, inUse(probe.get())};
        return refuse(Outcome::inUse,
                      QStringLiteral("“%1”%2 a program keeps it locked. Velmor cannot tell whether another Velmor "
                                     "uses this data folder. %3")
                          .arg(shown(path()), ownerText(opened.st_uid), whatToDo(opened.st_uid)));
    }
    // Held here until the new file is at the name: a start that opened this one
    // meanwhile finds the name changed once it gets the lock.
    return makeOwn(true);
}

DataFolderLock::Step DataFolderLock::makeOwn(bool replacing)
{
    // Empty: a full disk still gives a lock; the text follows once it is held.
    const files::Made made = files::writeTemporaryBeside(path(), {}, 0600);
    if (!made.path)
        return refuse(Outcome::failed,
                      QStringLiteral("“%1” could not be made: %2. Velmor cannot tell whether another Velmor uses this "
                                     "data folder.")
                          .arg(shown(path()), made.error));
    const QByteArray temporary = QFile::encodeName(*made.path);
    UniqueFd fd(::open(temporary.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    const auto discarded = [&temporary](Step step) {
        ::unlink(temporary.constData());
        return step;
    };
    struct stat opened {};
    if (!fd || ::fstat(fd.get(), &opened) != 0 || !isOwn(opened))
        return discarded({});
    // Locked before it has the name, so that no start finds it free there.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return discarded(refuse(Outcome::unsupported, noLocksText(errno)));
    if (replacing) {
        if (::rename(temporary.constData(), QFile::encodeName(path()).constData()) != 0)
            return discarded(refuse(Outcome::failed,
                                    QStringLiteral("“%1” is not Velmor's own and could not be replaced (%2). Velmor "
                                                   "cannot tell whether another Velmor uses this data folder; remove "
                                                   "it, then start Velmor again.")
                                        .arg(shown(path()), files::systemErrorText(errno))));
    } else if (files::moveToFreeName(*made.path, path()) != files::Moved::moved) {
        return discarded({}); // another start made one meanwhile
    }
    return {std::move(fd), true, std::nullopt};
}

DataFolderLock::Outcome DataFolderLock::inUse(int fd)
{
    QByteArray bytes(maxFileBytes, '\0');
    const ssize_t read = ::pread(fd, bytes.data(), bytes.size(), 0);
    holder_ = read > 0 ? decode(bytes.first(read)) : std::nullopt;
    message_ = inUseText();
    return Outcome::inUse;
}

QString DataFolderLock::noLocksText(int error) const
{
    return QStringLiteral("The data folder “%1” keeps no locks (%2): Velmor cannot tell whether another Velmor uses "
                          "it, on this computer or another.")
        .arg(shown(folder_), files::systemErrorText(error));
}

DataFolderLock::Outcome DataFolderLock::acquire()
{
    holder_.reset();
    message_.clear();
    QDir().mkpath(folder_);
    if (const std::optional<int> cause = files::unwritableFolder(folder_)) {
        message_ = QStringLiteral("The data folder “%1” cannot be written (%2).")
                       .arg(shown(folder_), files::systemErrorText(*cause));
        return Outcome::readOnly;
    }
    const QByteArray name = QFile::encodeName(path());
    // A few turns: another start may change what is at the name while we look.
    for (int attempt = 0; attempt < 4; ++attempt) {
        Step step = open();
        if (step.outcome)
            return *step.outcome;
        if (!step.fd)
            continue;
        if (!step.locked && ::flock(step.fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK)
                return inUse(step.fd.get());
            message_ = noLocksText(errno);
            return Outcome::unsupported;
        }
        // Locked: still the file at the name, unless another start replaced it meanwhile.
        struct stat locked {};
        struct stat atName {};
        if (::fstat(step.fd.get(), &locked) != 0 || ::lstat(name.constData(), &atName) != 0
            || !sameFile(locked, atName))
            continue;
        // Who holds it, for the message of a second start; the lock holds without it.
        if (::ftruncate(step.fd.get(), 0) == 0)
            (void)files::writeAll(step.fd.get(), encode(self()));
        fd_ = std::move(step.fd);
        return Outcome::held;
    }
    message_ = QStringLiteral("“%1” keeps being replaced while Velmor opens it. Velmor cannot tell whether another "
                              "Velmor uses this data folder.")
                   .arg(shown(path()));
    return Outcome::failed;
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
