#pragma once

#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace velmor {

// A folder that a cache keeps its own files in. It is used only when it is a real folder
// of the user's: not a link, and owned by the user. Everything goes through the open
// folder and never through a link in it: a link in an entry's place is neither read nor
// written through, and a write replaces the entry itself (a temporary file renamed over
// it). Safe on any thread.
class CacheFolder {
public:
    struct Entry {
        QString name;
        qint64 bytes = 0;
        qint64 modifiedMs = 0;
    };

    // Opens `path`, creating it (mode 0700) and its parents when missing; invalid when it
    // is a link, not a folder, or someone else's.
    static CacheFolder open(const QString& path);

    bool isValid() const { return fd_.isValid(); }

    // The regular files directly in the folder (no links, folders or anything else).
    QList<Entry> regularFiles() const;
    // The bytes of the regular file `name`, of at most maxBytes.
    std::optional<QByteArray> read(const QString& name, qint64 maxBytes) const;
    // Replaces whatever is at `name` with a regular file holding `bytes`; a folder there is
    // left alone. False when nothing was written.
    bool write(const QString& name, const QByteArray& bytes) const;
    // Removes `name` when it is a regular file.
    bool removeFile(const QString& name) const;

private:
    explicit CacheFolder(UniqueFd fd) : fd_(std::move(fd)) {}

    UniqueFd fd_;
};

} // namespace velmor
