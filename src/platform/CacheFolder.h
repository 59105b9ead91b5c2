#pragma once

#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace velmor {

// A folder that a cache keeps its own files in. It is used only when it is a real folder
// of the user's: not a link, owned by the user, and writable by no one else (it is never
// chmodded: a folder made that way stays as it is, unused). Everything goes through the open
// folder and never through a link in it: a link in an entry's place is neither read nor
// written through, and a write replaces the entry itself (a temporary file renamed over
// it). Safe on any thread.
class CacheFolder {
public:
    struct Entry {
        QString name;
        qint64 bytes = 0;
        qint64 modifiedMs = 0;
        // Owned by the user (any other owner means someone else could write there).
        bool mine = true;
    };

    // Opens `path`, creating it (mode 0700) and its parents when missing; invalid when it
    // is a link, not a folder, someone else's, or writable by group or others.
    static CacheFolder open(const QString& path);

    bool isValid() const { return fd_.isValid(); }
    // Why an invalid folder is not used, for the log.
    const QString& refusal() const { return refusal_; }

    // The regular files directly in the folder (no links, folders or anything else).
    QList<Entry> regularFiles() const;
    // The bytes of the regular file `name` of the user's, of at most maxBytes.
    std::optional<QByteArray> read(const QString& name, qint64 maxBytes) const;
    // Replaces whatever is at `name` with a regular file holding `bytes`; a folder there is
    // left alone. False when nothing was written.
    bool write(const QString& name, const QByteArray& bytes) const;
    // Removes `name` when it is a regular file.
    bool removeFile(const QString& name) const;
    // Removes the temporary files that writes of entries named so (`isEntry`) left behind
    // in processes that no longer run (a kill during a write). Returns how many went.
    int removeLeftoverTemporaries(const std::function<bool(const QString& name)>& isEntry,
                                  const std::function<bool(qint64 pid)>& isRunning) const;

private:
    CacheFolder(UniqueFd fd, QString refusal) : fd_(std::move(fd)), refusal_(std::move(refusal)) {}

    UniqueFd fd_;
    QString refusal_;
};

} // namespace velmor
