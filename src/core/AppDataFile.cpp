#include "core/AppDataFile.h"

#include "platform/Paths.h"

#include <QDir>

namespace velmor {

AppDataFile AppDataFile::inDataFolder(const QString& fileName)
{
    return AppDataFile(QDir(paths::applicationSupport()).filePath(fileName));
}

bool AppDataFile::keepDamaged(const Log& log)
{
    const QString name = fileName();
    try {
        files_.rename(path_, damagedPath());
        damagedPending_ = false;
        if (log)
            log(name + QStringLiteral(" could not be read and was kept as ") + QFileInfo(damagedPath()).fileName());
        return true;
    } catch (const FileError& error) {
        damagedPending_ = true;
        if (log)
            log(name + QStringLiteral(" could not be read or kept aside: ") + error.description());
        return false;
    }
}

bool AppDataFile::save(const QByteArray& bytes, const Log& log)
{
    if (damagedPending_ && files_.exists(path_) && !keepDamaged(log))
        return false;
    damagedPending_ = false;
    try {
        files_.write(path_, bytes);
        return true;
    } catch (const FileError& error) {
        if (log)
            log(QStringLiteral("Failed to save ") + fileName() + QStringLiteral(": ") + error.description());
        return false;
    }
}

} // namespace velmor
