#include "core/AppDataFile.h"

#include "platform/Paths.h"
#include "platform/RegularFile.h"

#include <QDir>

namespace velmor {

AppDataFile AppDataFile::inDataFolder(const QString& fileName)
{
    return AppDataFile(QDir(paths::applicationSupport()).filePath(fileName));
}

bool AppDataFile::keepDamaged(const QString& cause, const std::optional<QByteArray>& bytes, const Log& log)
{
    const QString name = fileName();
    try {
        QString kept;
        if (bytes && files::fileKind(path_) == files::FileKind::link) {
            // The user's link stays, and the next save writes to its target: a copy
            // of what it held is kept, made new by this process.
            kept = keepCopyAtFreeName(files_, *bytes, damagedPath());
        } else {
            kept = moveToFirstFreeName(files_, path_, damagedPath());
        }
        damagedPending_ = false;
        damagedCause_.clear();
        if (log)
            log(name + QStringLiteral(" could not be used and was kept as ") + QFileInfo(kept).fileName()
                + QStringLiteral(": ") + cause);
        return true;
    } catch (const FileError& error) {
        damagedPending_ = true;
        damagedCause_ = cause;
        if (log)
            log(name + QStringLiteral(" could not be used: ") + cause + QStringLiteral("; keeping it aside failed: ")
                + error.description());
        return false;
    }
}

bool AppDataFile::save(const QByteArray& bytes, const Log& log)
{
    if (damagedPending_ && files_.exists(path_) && !keepDamaged(damagedCause_, std::nullopt, log))
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
