#include "store/DataFolderSweep.h"

#include "platform/RegularFile.h"
#include "store/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <sys/stat.h>
#include <unistd.h>

namespace velmor {

namespace {

// "profiles.json.tmp", "profiles.json.external-2.tmp", …: the file's name, and the
// name of the copy kept aside it was to become, if any.
const QRegularExpression& olderTemporaryName()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(profiles\\.json|custom_usages\\.json|layout_overrides\\.json)"
                       "(\\.backup|\\.legacy|(\\.damaged|\\.external)(?:-[0-9]+)?)?\\.tmp$"));
    return pattern;
}

// A copy being kept aside is made before the file it copies is replaced: when the file
// still holds it, nothing is lost and it goes; otherwise it is kept under a free name.
void finishKeeping(const QString& path, const QString& file, const QString& keptName, SweptDataFolder& swept)
{
    const std::optional<QByteArray> copy = files::readRegularFile(path, LocalFileSystem::maxReadBytes);
    if (!copy)
        return;
    if (files::readUserFile(file, LocalFileSystem::maxReadBytes).bytes == copy) {
        if (QFile::remove(path))
            swept.removed.append(path);
        return;
    }
    LocalFileSystem disk;
    try {
        swept.kept.append({file, moveToFirstFreeName(disk, path, keptName)});
    } catch (const FileError&) {
    }
}

// The files the user may keep elsewhere and link into the data folder.
const QStringList& linkableFiles()
{
    static const QStringList names{QStringLiteral("profiles.json"), QStringLiteral("profiles.json.backup"),
                                   QStringLiteral("layout_overrides.json"), QStringLiteral("custom_usages.json")};
    return names;
}

void removeOlderTemporaries(const QDir& dir, const temporaryFolders::Processes& processes, SweptDataFolder& swept)
{
    std::optional<bool> othersRun;
    for (const QString& name : dir.entryList(QDir::System | QDir::Hidden | QDir::Files | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = olderTemporaryName().match(name);
        if (!match.hasMatch())
            continue;
        const QString path = dir.filePath(name);
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || info.st_uid != ::geteuid())
            continue;
        if (S_ISLNK(info.st_mode)) {
            // Never written through any more: a link there is planted, and goes itself.
            if (::unlink(QFile::encodeName(path).constData()) == 0)
                swept.removed.append(path);
            continue;
        }
        if (!S_ISREG(info.st_mode))
            continue;
        const QString file = dir.filePath(match.captured(1));
        // Whoever may still write it, nothing of it is lost.
        if (match.hasCaptured(3)) {
            finishKeeping(path, file, file + match.captured(3), swept);
            continue;
        }
        if (!othersRun)
            othersRun = processes.anotherVelmorRuns();
        if (!*othersRun && QFile::remove(path))
            swept.removed.append(path);
    }
}

} // namespace

SweptDataFolder sweepDataFolder(const QString& folder, const temporaryFolders::Processes& processes)
{
    const QDir dir(folder);
    SweptDataFolder swept;
    for (const QString& name : LocalFileSystem::removeLeftoverTemporaries(folder, {}, processes))
        swept.removed.append(dir.filePath(name));
    removeOlderTemporaries(dir, processes, swept);
    // A save through a link writes beside the link's target (a dotfiles folder, say):
    // only the links the user may make lead there, and only that file's temporaries go.
    QSet<QString> visited;
    for (const QString& name : linkableFiles()) {
        const QString path = dir.filePath(name);
        struct stat info {};
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISLNK(info.st_mode) ||
            info.st_uid != ::geteuid())
            continue;
        const std::optional<QString> target = files::followUserLink(path).path;
        if (!target || visited.contains(*target))
            continue;
        visited.insert(*target);
        const QFileInfo beside(*target);
        if (beside.absolutePath() == dir.absolutePath())
            continue;
        for (const QString& leftover :
             LocalFileSystem::removeLeftoverTemporaries(beside.absolutePath(), beside.fileName(), processes))
            swept.removed.append(QDir(beside.absolutePath()).filePath(leftover));
    }
    return swept;
}

} // namespace velmor
