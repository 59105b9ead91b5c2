#include "store/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace velmor {

namespace {
QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }
} // namespace

bool LocalFileSystem::exists(const QString& path) const { return QFileInfo::exists(path); }

QByteArray LocalFileSystem::read(const QString& path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(file.errorString());
    return bytes;
}

void LocalFileSystem::write(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        throw FileError(error);
    }
    if (!file.commit())
        throw FileError(file.errorString());
}

void LocalFileSystem::rename(const QString& from, const QString& to)
{
    // QFile::rename refuses to replace an existing file; rename(2) replaces it atomically.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw FileError(systemError(errno));
}

void LocalFileSystem::remove(const QString& path)
{
    QFile file(path);
    if (!file.exists())
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
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    const QDateTime time = info.lastModified();
    if (!time.isValid())
        return std::nullopt;
    return time.toUTC();
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

} // namespace velmor
