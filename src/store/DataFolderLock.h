#pragma once

#include "platform/UniqueFd.h"

#include <QString>

#include <optional>

namespace velmor {

// One running Velmor per data folder, whichever computer or session runs it (a home
// folder shared by two workstations): the first start holds an advisory lock on
// "velmor.lock" in the data folder for as long as it runs, with its host name and
// process id inside for the others' message. The kernel lets go of the lock when the
// process ends, however it ends, so a lock is never left behind.
// The file is Velmor's own: only a regular file of the user's with one name is
// written. A link, FIFO or socket at its name is removed; a file with another name
// too (a hard link to the user's document) or of another account is replaced by a
// file made new, unless something holds it; nothing is written through it. A data
// folder that cannot be written is no one's to lock: no Velmor can save there.
class DataFolderLock {
public:
    static inline const QString fileName = QStringLiteral("velmor.lock");

    enum class Outcome {
        held,        // this process is the data folder's writer
        inUse,       // another running Velmor is, or another account holds the file
        readOnly,    // the folder cannot be written: nothing to lock, nothing to fear
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
    // After inUse: the holder, when a file of the user's own said; none while it was
    // still writing it, and none for another account's file, whose text proves nothing.
    const std::optional<Holder>& holder() const { return holder_; }
    // After inUse, readOnly, unsupported or failed: what the user is told, naming the
    // file or folder and the cause.
    const QString& message() const { return message_; }

    // The file's bytes for a holder, and the holder in such bytes.
    static QByteArray encode(const Holder& holder);
    static std::optional<Holder> decode(const QByteArray& bytes);
    // This process.
    static Holder self();

private:
    // One look at the name: a descriptor of the user's own file there (`locked` when
    // this process made it and holds it already), else an outcome to end with, else
    // neither (look again: the name changed meanwhile).
    struct Step {
        UniqueFd fd;
        bool locked = false;
        std::optional<Outcome> outcome;
    };
    Step open();
    // The file at the name is not Velmor's own: replaced by a file made new, unless
    // another process holds it.
    Step replace(const QByteArray& name, unsigned ownerId);
    // A file of this process, locked, moved to the name (over `replacing` when given).
    Step makeOwn(bool replacing);
    Step refuse(Outcome outcome, QString message);
    Outcome inUse(int fd);
    QString noLocksText(int error) const;
    QString inUseText() const;

    QString folder_;
    UniqueFd fd_;
    std::optional<Holder> holder_;
    QString message_;
};

} // namespace velmor
