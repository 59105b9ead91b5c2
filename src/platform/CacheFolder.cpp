#include "platform/CacheFolder.h"

#include "platform/RegularFile.h"
#include "platform/TemporaryFolders.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace velmor {

namespace {

// A name of its own per write: two writes of one entry never share a temporary file.
QByteArray temporaryName(const QString& name)
{
    static std::atomic<quint64> writes{0};
    return '.' + QFile::encodeName(name) + '.' + QByteArray::number(::getpid()) + '-'
        + QByteArray::number(++writes);
}

} // namespace

CacheFolder CacheFolder::open(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    QDir().mkpath(QDir::cleanPath(path + QStringLiteral("/..")));
    ::mkdir(native.constData(), 0700);
    UniqueFd fd(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !S_ISDIR(info.st_mode))
        return CacheFolder(UniqueFd(), path + QStringLiteral(" is a link or not a folder"));
    if (info.st_uid != ::geteuid())
        return CacheFolder(UniqueFd(), path + QStringLiteral(" belongs to another user (uid %1)").arg(info.st_uid));
    // Anyone who can write there can plant entries or take them away.
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return CacheFolder(UniqueFd(), path
                               + QStringLiteral(" can be written by other users (mode %1)")
                                     .arg(info.st_mode & 07777, 4, 8, QChar(u'0')));
    return CacheFolder(std::move(fd), {});
}

QList<CacheFolder::Entry> CacheFolder::regularFiles() const
{
    QList<Entry> entries;
    if (!isValid())
        return entries;
    for (const QByteArray& name : files::entryNamesAt(fd_.get()).value_or(QByteArrayList())) {
        struct stat info {};
        if (::fstatat(fd_.get(), name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            continue;
        entries.append({QFile::decodeName(name), static_cast<qint64>(info.st_size),
                        static_cast<qint64>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1'000'000,
                        info.st_uid == ::geteuid()});
    }
    return entries;
}

std::optional<QByteArray> CacheFolder::read(const QString& name, qint64 maxBytes) const
{
    struct stat info {};
    if (!isValid() || ::fstatat(fd_.get(), QFile::encodeName(name).constData(), &info, AT_SYMLINK_NOFOLLOW) != 0
        || info.st_uid != ::geteuid())
        return std::nullopt;
    return files::readRegularAt(fd_.get(), name, name, maxBytes).bytes;
}

bool CacheFolder::write(const QString& name, const QByteArray& bytes) const
{
    if (!isValid())
        return false;
    const QByteArray temporary = temporaryName(name);
    bool written = false;
    {
        const UniqueFd file(::openat(fd_.get(), temporary.constData(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!file)
            return false;
        written = files::writeAll(file.get(), bytes);
    }
    // A rename replaces a link in the entry's place, not what it leads to.
    if (written && ::renameat(fd_.get(), temporary.constData(), fd_.get(), QFile::encodeName(name).constData()) == 0)
        return true;
    ::unlinkat(fd_.get(), temporary.constData(), 0);
    return false;
}

bool CacheFolder::removeFile(const QString& name) const
{
    const QByteArray native = QFile::encodeName(name);
    struct stat info {};
    return isValid() && ::fstatat(fd_.get(), native.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0
        && S_ISREG(info.st_mode) && ::unlinkat(fd_.get(), native.constData(), 0) == 0;
}

int CacheFolder::removeLeftoverTemporaries(const std::function<bool(const QString& name)>& isEntry,
                                           const std::function<bool(qint64 pid)>& isRunning) const
{
    // What temporaryName() makes: ".‹name›.‹pid›-‹count›".
    static const QRegularExpression temporary(QStringLiteral("^\\.(.+)\\.([0-9]{1,18})-[0-9]{1,20}$"));
    if (!isValid())
        return 0;
    const auto writerOf = [&isEntry](const QString& name) -> std::optional<temporaryFolders::Writer> {
        const QRegularExpressionMatch match = temporary.match(name);
        if (!match.hasMatch() || !isEntry(match.captured(1)))
            return std::nullopt;
        return temporaryFolders::Writer{match.captured(2).toLongLong()};
    };
    // Every name here names its process: no other velmor needs to be looked for.
    const temporaryFolders::Processes processes{isRunning, [] { return true; }};
    return int(temporaryFolders::removeLeftoverFiles(fd_.get(), writerOf, processes).size());
}

} // namespace velmor
