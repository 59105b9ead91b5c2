#include "platform/OwnFile.h"

#include "platform/RegularFile.h"
#include "platform/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmor::files {

std::optional<unsigned> regularFileMode(const QString& path, bool followLink)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    const int looked = followLink ? ::stat(native.constData(), &info) : ::lstat(native.constData(), &info);
    if (looked != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return info.st_mode & 07777;
}

Made writeTemporaryBeside(const QString& file, const QByteArray& bytes, std::optional<unsigned> mode)
{
    const QByteArray base = QFile::encodeName(file);
    QByteArray temporary;
    UniqueFd fd;
    for (int attempt = 0; !fd; ++attempt) {
        // The process's id tells a later start whether anyone still writes it.
        temporary = base + ".velmor-" + QByteArray::number(::getpid()) + '-'
            + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        // Made new: whatever is at the name (a link, a FIFO) is never opened.
        fd.reset(::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd && (errno != EEXIST || attempt == 9))
            return {std::nullopt, systemErrorText(errno)};
    }
    const auto failed = [&temporary](int code) {
        ::unlink(temporary.constData());
        return Made{std::nullopt, systemErrorText(code)};
    };
    if (mode && ::fchmod(fd.get(), *mode & 07777) != 0)
        return failed(errno);
    if (!writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0)
        return failed(errno);
    // Some file systems report a full disk only when the file is closed.
    if (::close(fd.release()) != 0)
        return failed(errno);
    return {QFile::decodeName(temporary), QString()};
}

QString replaceWithOwnFile(const QString& path, const QByteArray& bytes)
{
    const QByteArray target = QFile::encodeName(path);
    const Made made = writeTemporaryBeside(path, bytes, regularFileMode(path, false));
    if (!made.path)
        return made.error;
    const QByteArray temporary = QFile::encodeName(*made.path);
    // rename(2) replaces a link at the name itself, never what it leads to.
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        if (error == EISDIR)
            return QStringLiteral("“%1” is %2, not a regular file.").arg(path, kindText(FileKind::folder));
        return systemErrorText(error);
    }
    return QString();
}

std::optional<int> unwritableFolder(const QString& folder)
{
    QString existing = QDir::cleanPath(QDir(folder).absolutePath());
    while (!QFileInfo::exists(existing) && existing != QDir::rootPath())
        existing = QFileInfo(existing).path();
    if (::faccessat(AT_FDCWD, QFile::encodeName(existing).constData(), W_OK, AT_EACCESS) == 0)
        return std::nullopt;
    const int error = errno;
    return error == EROFS || error == EACCES ? std::optional<int>(error) : std::nullopt;
}

Moved moveToFreeName(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return Moved::moved;
    if (errno == EEXIST)
        return Moved::taken;
    if (errno != EINVAL && errno != ENOSYS)
        return Moved::failed;
    // A file system that cannot refuse to replace: looked at first, the best it allows.
    struct stat info {};
    if (::lstat(target.constData(), &info) == 0)
        return Moved::taken;
    return ::rename(source.constData(), target.constData()) == 0 ? Moved::moved : Moved::failed;
}

} // namespace velmor::files
