#include "platform/RegularFile.h"

#include "platform/Text.h"
#include "platform/UniqueFd.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace velmor::files {

namespace {

FileKind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::regular;
    if (S_ISDIR(mode))
        return FileKind::folder;
    if (S_ISLNK(mode))
        return FileKind::link;
    return FileKind::other;
}

FileStamp stampOf(const struct stat& info)
{
    return {kindOf(info.st_mode), static_cast<qint64>(info.st_size),
            static_cast<qint64>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
            static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)};
}

// What an entry is, as precisely as the cause of a refusal should say.
QString entryText(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    return kindText(kindOf(mode));
}

FileRead failed(ReadFailure failure, QString error) { return {std::nullopt, failure, std::move(error)}; }

FileRead missing(const QString& path)
{
    return failed(ReadFailure::missing, QStringLiteral("“%1” does not exist.").arg(path));
}

FileRead notRegular(const QString& path, const QString& what)
{
    return failed(ReadFailure::notRegular, QStringLiteral("“%1” is %2, not a regular file.").arg(path, what));
}

FileRead tooLarge(const QString& path, qint64 size, qint64 maxBytes)
{
    return failed(ReadFailure::tooLarge,
                  QStringLiteral("“%1” is too large (%2).").arg(path, text::sizeOverLimit(size, maxBytes)));
}

FileRead unreadable(const QString& path, int error)
{
    if (error == ENOENT)
        return missing(path);
    return failed(ReadFailure::failed, QStringLiteral("Could not read “%1”: %2").arg(path, systemErrorText(error)));
}

} // namespace

QString kindText(FileKind kind)
{
    switch (kind) {
    case FileKind::missing:
        return QStringLiteral("missing");
    case FileKind::regular:
        return QStringLiteral("a regular file");
    case FileKind::folder:
        return QStringLiteral("a folder");
    case FileKind::link:
        return QStringLiteral("a symbolic link");
    case FileKind::other:
        return QStringLiteral("a FIFO, socket or device");
    }
    return QString();
}

FileStamp fileStampAt(int folder, const QString& name) { return nativeFileStampAt(folder, QFile::encodeName(name)); }

FileStamp nativeFileStampAt(int folder, const QByteArray& name)
{
    struct stat info {};
    if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    return stampOf(info);
}

QString systemErrorText(int error)
{
    char buffer[256] = {};
    // GNU strerror_r: the text may be a static string rather than the buffer.
    return QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count == 0)
            errno = EIO;
        if (count <= 0)
            return false;
        written += count;
    }
    return true;
}

std::optional<QByteArrayList> entryNamesAt(int folder)
{
    UniqueFd listed(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(listed ? ::fdopendir(listed.get()) : nullptr, &::closedir);
    if (!dir)
        return std::nullopt;
    listed.release(); // closedir() closes it
    QByteArrayList names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    return names;
}

FileRead readRegularAt(int folder, const QString& name, const QString& shownPath, qint64 maxBytes)
{
    const QByteArray native = QFile::encodeName(name);
    // Looked at before opening: opening a FIFO or a device can block or act on it.
    struct stat info {};
    if (::fstatat(folder, native.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return unreadable(shownPath, errno);
    if (!S_ISREG(info.st_mode))
        return notRegular(shownPath, entryText(info.st_mode));
    if (info.st_size > maxBytes)
        return tooLarge(shownPath, info.st_size, maxBytes);

    // Looked at again once open: the entry may have been swapped in between.
    const UniqueFd fd(::openat(folder, native.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (!fd)
        return errno == ELOOP ? notRegular(shownPath, kindText(FileKind::link)) : unreadable(shownPath, errno);
    if (::fstat(fd.get(), &info) != 0)
        return unreadable(shownPath, errno);
    if (!S_ISREG(info.st_mode))
        return notRegular(shownPath, entryText(info.st_mode));
    if (info.st_size > maxBytes)
        return tooLarge(shownPath, info.st_size, maxBytes);

    // The file may grow while it is read: never more than the limit is taken in.
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(info.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return unreadable(shownPath, errno);
        if (count == 0)
            break;
        if (bytes.size() + count > maxBytes)
            return tooLarge(shownPath, bytes.size() + count, maxBytes);
        bytes.append(buffer, count);
    }
    return {std::move(bytes), ReadFailure::none, QString()};
}

std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes, QString* error)
{
    FileRead read = readRegular(path, maxBytes);
    if (error)
        *error = read.error;
    return std::move(read.bytes);
}

LinkTarget followUserLink(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return {path, QString()};
    // Named as the link says (one step), so that the user recognises it.
    const QString named = QFileInfo(path).symLinkTarget();
    // realpath() only looks the names up: nothing is opened, so nothing can block.
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(native.constData(), nullptr), &std::free);
    if (!resolved) {
        const int error = errno;
        if (error == ENOENT)
            return {std::nullopt, QStringLiteral("“%1” is a link to “%2”, which does not exist.").arg(path, named)};
        return {std::nullopt, QStringLiteral("“%1” is a link that cannot be followed: %2").arg(path, systemErrorText(error))};
    }
    const QString target = QFile::decodeName(resolved.get());
    if (::lstat(resolved.get(), &info) != 0)
        return {std::nullopt, QStringLiteral("“%1” is a link to “%2”, which cannot be looked at: %3")
                                  .arg(path, target, systemErrorText(errno))};
    if (!S_ISREG(info.st_mode))
        return {std::nullopt, QStringLiteral("“%1” is a link to “%2”, which is %3, not a regular file.")
                                  .arg(path, target, entryText(info.st_mode))};
    return {target, QString()};
}

LinkTarget writableUserFile(const QString& path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return {path, QString()};
    if (S_ISLNK(info.st_mode))
        return followUserLink(path);
    return {std::nullopt, QStringLiteral("“%1” is %2, not a regular file.").arg(path, entryText(info.st_mode))};
}

FileRead readUserFile(const QString& path, qint64 maxBytes)
{
    const LinkTarget target = followUserLink(path);
    if (!target.path)
        return failed(ReadFailure::notRegular, target.error);
    // The target has no link left in its path; one swapped in meanwhile is refused.
    return readRegular(*target.path, maxBytes);
}

} // namespace velmor::files
