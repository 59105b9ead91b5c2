#pragma once

#include "platform/UniqueFd.h"

#include <QString>

#include <optional>

namespace velmor {

// One running Velmor per data folder, whichever computer or session runs it (a home
// folder shared by two workstations): the first start holds an advisory lock on
// "velmor.lock" in the data folder for as long as it runs, with its host name and
// process id inside for the others' message. The kernel lets go of the lock when the
// process ends, however it ends, so a lock is never left behind. The file is opened
// without following a link and only as a regular file; a link, FIFO or socket someone
// put at its name is removed and the file made anew.
class DataFolderLock {
public:
    static inline const QString fileName = QStringLiteral("velmor.lock");

    enum class Outcome {
        held,        // this process is the data folder's writer
        inUse,       // another running Velmor is
        unsupported, // the file system keeps no locks: nothing can be told
        failed,      // the lock file could not be made or opened
    };

    // Who holds the lock, as the holder wrote it.
    struct Holder {
        QString host;
        qint64 pid = 0;
        bool operator==(const Holder&) const = default;
    };

    explicit DataFolderLock(QString folder);

    Outcome acquire();

    QString path() const;
    // After inUse: the holder, when its file said; none while it was still writing it.
    const std::optional<Holder>& holder() const { return holder_; }
    // After inUse, unsupported or failed: what the user is told, naming the folder and the cause.
    const QString& message() const { return message_; }

    // The file's bytes for a holder, and the holder in such bytes.
    static QByteArray encode(const Holder& holder);
    static std::optional<Holder> decode(const QByteArray& bytes);
    // This process.
    static Holder self();

private:
    // The lock file, opened; unlocked.
    UniqueFd open();
    QString inUseText() const;

    QString folder_;
    UniqueFd fd_;
    std::optional<Holder> holder_;
    QString message_;
};

} // namespace velmor
