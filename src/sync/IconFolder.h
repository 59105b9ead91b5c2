#pragma once

#include "platform/RegularFile.h"
#include "platform/TemporaryFolders.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace velmor {

// The custom icons folder as the icon sync reads and writes it. Entries are named by
// plain file names and looked at without following a link. A write makes a new file in
// the folder and renames it over the entry, so it never goes through a link there nor
// out of the folder; a link, folder, pipe or device in an icon's place is never replaced,
// and a file the user saved meanwhile is never written over.
class IconFolder {
public:
    explicit IconFolder(QString path);
    virtual ~IconFolder() = default;
    IconFolder(const IconFolder&) = delete;
    IconFolder& operator=(const IconFolder&) = delete;

    const QString& path() const { return path_; }
    QString filePath(const QString& fileName) const;
    files::FileStamp stamp(const QString& fileName) const;
    // Only a regular file of at most `maxBytes` is read.
    files::FileRead read(const QString& fileName, qint64 maxBytes) const;

    struct Written {
        bool written = false;
        // Why not: empty when the entry changed meanwhile (nothing to tell), else the
        // system's reason.
        QString error;
        // The new file's stamp.
        files::FileStamp stamp;
    };
    // Puts `bytes`, dated `date`, in place of `fileName` while that entry is still
    // `expected` (missing, or that very regular file). With `keepAs`, the file that was
    // there moves to that name, which must be free, in the same step.
    Written replace(const QString& fileName, const QByteArray& bytes, const QDateTime& date,
                    const files::FileStamp& expected, const QString& keepAs = {});
    // Removes what writes cut short by a kill left behind: the temporary files of
    // processes that no longer run (another Velmor on this folder may be writing).
    // Returns the names removed.
    QStringList sweepTemporaries(
        const temporaryFolders::Processes& processes = temporaryFolders::Processes::system()) const;

protected:
    enum class Step { create, write };
    // An errno that step fails with instead of running (a full or read-only folder in tests).
    virtual int fault(Step) const { return 0; }

private:
    QString path_;
};

} // namespace velmor
