#include "platform/TemporaryFolders.h"

#include "platform/RegularFile.h"
#include "platform/UniqueFd.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <optional>

namespace velmor::temporaryFolders {

namespace {

const QString prefix = QStringLiteral("Velmor-");
// Deeper than anything the cloud folder's copies make (a folder per record).
constexpr int maxDepth = 8;

// The names in the open folder `fd`; empty when it cannot be read.
QByteArrayList entries(int fd) { return files::entryNamesAt(fd).value_or(QByteArrayList()); }

bool isOwnFolder(const struct stat& info) { return S_ISDIR(info.st_mode) && info.st_uid == ::getuid(); }

// Removes the folder `name` in `parent` with everything in it, never going through
// a link; true when it is gone.
bool removeTree(int parent, const QByteArray& name, int depth)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    const UniqueFd folder(::openat(parent, name.constData(), flags));
    struct stat info {};
    // Looked at again through the open folder: whatever was checked by name may have been swapped.
    if (!folder || ::fstat(folder.get(), &info) != 0 || !isOwnFolder(info))
        return false;
    bool emptied = true;
    for (const QByteArray& entry : entries(folder.get())) {
        struct stat child {};
        if (::fstatat(folder.get(), entry.constData(), &child, AT_SYMLINK_NOFOLLOW) != 0) {
            emptied = emptied && errno == ENOENT;
            continue;
        }
        const bool gone = S_ISDIR(child.st_mode) ? depth < maxDepth && removeTree(folder.get(), entry, depth + 1)
                                                 : ::unlinkat(folder.get(), entry.constData(), 0) == 0;
        emptied = emptied && gone;
    }
    return emptied && ::unlinkat(parent, name.constData(), AT_REMOVEDIR) == 0;
}

bool processRuns(qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return true; // names no process that could be asked about: kept
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

bool anotherVelmorOfTheUserRuns()
{
    const QString self = QString::number(::getpid());
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        struct stat info {};
        const QString folder = QStringLiteral("/proc/") + pid;
        if (pid == self || pid.toLongLong() <= 0 || ::stat(QFile::encodeName(folder).constData(), &info) != 0 ||
            info.st_uid != ::getuid())
            continue;
        QFile name(folder + QStringLiteral("/comm"));
        if (name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == "velmor")
            return true;
    }
    return false;
}

} // namespace

QString ownTemplate(const QString& root)
{
    return QDir(root).filePath(prefix + QString::number(::getpid()) + QStringLiteral("-XXXXXX"));
}

QString ownTemplate() { return ownTemplate(QDir::tempPath()); }

Processes Processes::system() { return {&processRuns, &anotherVelmorOfTheUserRuns}; }

QStringList removeLeftovers(const QString& root, const Processes& processes)
{
    static const QRegularExpression named(u'^' + prefix + QStringLiteral("([0-9]{1,19})-[A-Za-z0-9]{6}$"));
    static const QRegularExpression older(u'^' + prefix + QStringLiteral("[A-Za-z0-9]{6}$"));
    QStringList removed;
    const UniqueFd folder(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder)
        return removed;
    std::optional<bool> othersRun;
    for (const QByteArray& entry : entries(folder.get())) {
        const QString name = QFile::decodeName(entry);
        const QRegularExpressionMatch match = named.match(name);
        const bool isOlder = !match.hasMatch() && older.match(name).hasMatch();
        struct stat info {};
        if ((!match.hasMatch() && !isOlder) ||
            ::fstatat(folder.get(), entry.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !isOwnFolder(info))
            continue;
        if (match.hasMatch()) {
            const qint64 pid = match.captured(1).toLongLong();
            if (pid != ::getpid() && !processes.isRunning(pid) && removeTree(folder.get(), entry, 0))
                removed.append(name);
            continue;
        }
        // Names no process: only an empty one goes (removing a folder fails while anything is in it).
        if (!othersRun)
            othersRun = processes.anotherVelmorRuns();
        if (!*othersRun && ::unlinkat(folder.get(), entry.constData(), AT_REMOVEDIR) == 0)
            removed.append(name);
    }
    return removed;
}

QStringList removeLeftoverFiles(int folder, const WriterOf& writerOf, const Processes& processes)
{
    QStringList removed;
    std::optional<bool> othersRun;
    // Each process is asked about once: a folder may hold any number of names of one.
    QHash<qint64, bool> running{{::getpid(), true}};
    const auto runs = [&](qint64 pid) {
        const auto known = running.constFind(pid);
        return known != running.cend() ? *known : *running.insert(pid, processes.isRunning(pid));
    };
    for (const QByteArray& entry : entries(folder)) {
        const QString name = QFile::decodeName(entry);
        const std::optional<Writer> writer = writerOf(name);
        if (!writer || (writer->pid && runs(*writer->pid)))
            continue;
        struct stat info {};
        if (::fstatat(folder, entry.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid())
            continue;
        bool abandoned = true;
        if (!writer->pid) {
            if (!othersRun)
                othersRun = processes.anotherVelmorRuns();
            abandoned = !*othersRun;
        }
        if (abandoned && ::unlinkat(folder, entry.constData(), 0) == 0)
            removed.append(name);
    }
    return removed;
}

} // namespace velmor::temporaryFolders
