#include "store/DataFolderSweep.h"

#include "platform/RegularFile.h"
#include "store/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace velmor {

QStringList sweepDataFolder(const QString& folder)
{
    const QDir dir(folder);
    QStringList removed;
    for (const QString& name : LocalFileSystem::removeLeftoverTemporaries(folder))
        removed.append(dir.filePath(name));
    // A save through a link writes beside the link's target (a dotfiles folder, say).
    QSet<QString> swept;
    for (const QString& name : dir.entryList(QDir::System | QDir::Hidden | QDir::Files | QDir::NoDotAndDotDot)) {
        const QString path = dir.filePath(name);
        if (files::fileKind(path) != files::FileKind::link)
            continue;
        const std::optional<QString> target = files::followUserLink(path).path;
        if (!target || swept.contains(*target))
            continue;
        swept.insert(*target);
        const QFileInfo beside(*target);
        if (beside.absolutePath() == dir.absolutePath())
            continue;
        for (const QString& leftover : LocalFileSystem::removeLeftoverTemporaries(beside.absolutePath(), beside.fileName()))
            removed.append(QDir(beside.absolutePath()).filePath(leftover));
    }
    return removed;
}

} // namespace velmor
