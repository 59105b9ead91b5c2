#include "store/FileSystem.h"

#include "platform/RegularFile.h"
#include "platform/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmor {

namespace {
QString systemError(int code) { return files::systemErrorText(code); }

// "‹file›.velmor-‹pid›-‹n›", or "‹file›.velmor-‹n›" as earlier versions named them;
// with `fileName`, only the first kind of that very file.
std::optional<temporaryFolders::Writer> writerOfTemporary(const QString& name, const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^(.+)\\.velmor-(?:([0-9]{1,10})-)?[0-9a-z]{1,13}$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch() || (!fileName.isEmpty() && (match.captured(1) != fileName || !match.hasCaptured(2))))
        return std::nullopt;
    if (match.hasCaptured(2))
        return temporaryFolders::Writer{match.captured(2).toLongLong()};
    return temporaryFolders::Writer{};
}

} // namespace

QString moveToFirstFreeName(FileSystem& fileSystem, const QString& from, const QString& name)
{
    // Names taken by earlier files are skipped; this many is beyond any use.
    constexpr int maxNumber = 10'000;
    for (int n = 1; n <= maxNumber; ++n) {
        const QString candidate = n == 1 ? name : name + u'-' + QString::number(n);
        if (fileSystem.moveToFreeName(from, candidate))
            return candidate;
    }
    throw FileError(QStringLiteral("No name beside “%1” is free.").arg(name));
}

QString keepCopyAtFreeName(FileSystem& fileSystem, const QByteArray& bytes, const QString& name,
                           const QString& permissionsOf)
{
    OwnTemporary temporary(fileSystem, name, bytes);
    if (!permissionsOf.isEmpty())
        fileSystem.copyPermissions(permissionsOf, temporary.path());
    const QString kept = moveToFirstFreeName(fileSystem, temporary.path(), name);
    temporary.published();
    return kept;
}

OwnTemporary::~OwnTemporary()
{
    if (path_.isEmpty())
        return;
    try {
        fileSystem_.remove(path_);
    } catch (const FileError&) {
    }
}

bool LocalFileSystem::exists(const QString& path) const { return files::fileKind(path) != files::FileKind::missing; }

QByteArray LocalFileSystem::read(const QString& path) const
{
    files::FileRead read = files::readUserFile(path, maxReadBytes);
    if (!read.bytes)
        throw FileError(read.error);
    return std::move(*read.bytes);
}

QString LocalFileSystem::resolve(const QString& path) const { return files::followUserLink(path).path.value_or(path); }

void LocalFileSystem::write(const QString& path, const QByteArray& bytes)
{
    // The user's link stays: its target is replaced, by a file written beside it.
    // Only a regular file is replaced: never a device, FIFO or folder in its place.
    const files::LinkTarget resolved = files::writableUserFile(path);
    if (!resolved.path)
        throw FileError(resolved.error);
    // Written by hand rather than with QSaveFile: a short write there (a full disk)
    // ends as "Unknown error", and its temporary file follows a link in its place.
    const files::Made temporary =
        files::writeTemporaryBeside(*resolved.path, bytes, files::regularFileMode(*resolved.path, true));
    if (!temporary.path)
        throw FileError(temporary.error);
    try {
        rename(*temporary.path, *resolved.path);
    } catch (const FileError&) {
        ::unlink(QFile::encodeName(*temporary.path).constData());
        throw;
    }
}

QString LocalFileSystem::writeTemporary(const QString& file, const QByteArray& bytes)
{
    const files::Made temporary = files::writeTemporaryBeside(file, bytes);
    if (!temporary.path)
        throw FileError(temporary.error);
    return *temporary.path;
}

void LocalFileSystem::rename(const QString& from, const QString& to)
{
    // QFile::rename refuses to replace an existing file; rename(2) replaces it atomically.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw FileError(systemError(errno));
}

bool LocalFileSystem::moveToFreeName(const QString& from, const QString& to)
{
    switch (files::moveToFreeName(from, to)) {
    case files::Moved::moved:
        return true;
    case files::Moved::taken:
        return false;
    case files::Moved::failed:
        break;
    }
    throw FileError(systemError(errno));
}

void LocalFileSystem::copyPermissions(const QString& from, const QString& to)
{
    struct stat source {};
    if (::stat(QFile::encodeName(from).constData(), &source) != 0 || !S_ISREG(source.st_mode))
        return;
    const int fd = ::open(QFile::encodeName(to).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    [[maybe_unused]] const int changed = ::fchmod(fd, source.st_mode & 07777);
    ::close(fd);
}

void LocalFileSystem::remove(const QString& path)
{
    // A link is removed itself, a dangling one too; its target stays.
    QFile file(path);
    if (!exists(path))
        return;
    if (!file.remove())
        throw FileError(file.errorString());
}

void LocalFileSystem::makeFolder(const QString& path)
{
    if (!QDir().mkpath(path))
        throw FileError(QStringLiteral("The folder “%1” could not be created.").arg(path));
}

std::optional<QDateTime> LocalFileSystem::modificationTime(const QString& path) const
{
    // Read whole: QFileInfo takes a time of exactly 1970 for none.
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    const qint64 ms = static_cast<qint64>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1'000'000;
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
}

void LocalFileSystem::setModificationTime(const QString& path, const QDateTime& time)
{
    const qint64 ms = time.toMSecsSinceEpoch();
    const qint64 seconds = ms >= 0 ? ms / 1000 : -((999 - ms) / 1000);
    timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = static_cast<long>((ms - seconds * 1000) * 1'000'000);
    if (::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw FileError(systemError(errno));
}

QStringList LocalFileSystem::removeLeftoverTemporaries(const QString& folder, const QString& fileName,
                                                       const temporaryFolders::Processes& processes)
{
    const UniqueFd open(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC));
    if (!open)
        return {};
    return temporaryFolders::removeLeftoverFiles(
        open.get(), [&fileName](const QString& name) { return writerOfTemporary(name, fileName); }, processes);
}

std::optional<FileStamp> LocalFileSystem::stamp(const QString& path) const
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    const auto ns = [](const timespec& t) { return static_cast<qint64>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; };
    return FileStamp{static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
                     static_cast<qint64>(info.st_size), ns(info.st_mtim), ns(info.st_ctim)};
}

std::optional<QString> LocalFileSystem::unwritableFolder(const QString& folder) const
{
    if (const std::optional<int> cause = files::unwritableFolder(folder))
        return files::systemErrorText(*cause);
    return std::nullopt;
}

} // namespace velmor
