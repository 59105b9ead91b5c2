#include "app/RuntimeFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace velmor::runtimeFolder {

bool isPrivate(const QString& path)
{
    struct stat status {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    return S_ISDIR(status.st_mode) && status.st_uid == ::getuid() && (status.st_mode & 07777) == 0700;
}

bool makePrivate(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QString parent = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(parent))
        return false;
    // One we make is ours alone from the start, whatever the umask; an existing
    // one (ours or not) is only looked at.
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) == 0)
        ::chmod(name.constData(), 0700);
    return isPrivate(path);
}

Candidates candidates()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    Candidates result{qEnvironmentVariable("XDG_RUNTIME_DIR"),
                      {QDir(QDir::tempPath()).filePath(QStringLiteral("velmor-%1").arg(::getuid()))}};
    if (!cache.isEmpty())
        result.fallbacks << QDir(cache).filePath(QStringLiteral("velmor-runtime"));
    return result;
}

std::optional<QString> choose(const Candidates& candidates)
{
    if (isPrivate(candidates.runtimeDir))
        return candidates.runtimeDir;
    for (const QString& fallback : candidates.fallbacks)
        if (makePrivate(fallback))
            return fallback;
    return std::nullopt;
}

} // namespace velmor::runtimeFolder
