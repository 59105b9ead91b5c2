#pragma once

#include "platform/RegularFile.h"
#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace velmor::cloud::folder {

// For tests: the errno with which a change at `path` (a write, a new folder, a
// removal, the lock) fails; 0 lets it go on.
using ChangeFault = std::function<int(const QString& path)>;

// One open folder of a folder database. The cloud folder is shared with other
// people and programs, so every entry below the account folder is taken by name
// relative to an open folder: a link is never followed, a file is opened only
// when it is a regular one, and entries are only ever replaced or removed inside
// the folder. Failures throw cloud::Error naming the path and the system's reason.
class Folder {
public:
    // The account folder, reached as configured (a link the user set up is theirs to
    // follow); none while it is missing or not a folder.
    static std::optional<Folder> openAccount(const QString& path, ChangeFault fault);

    // The folder `name` in this one: none while missing, unless `create` makes it.
    // Throws when the entry is a link, a file or anything else but a real folder.
    std::optional<Folder> child(const QString& name, bool create) const;

    const QString& path() const { return path_; }
    QString pathOf(const QString& name) const { return path_ + u'/' + name; }

    files::FileRead read(const QString& name, qint64 maxBytes) const;
    files::FileStamp stamp(const QString& name) const { return files::fileStampAt(fd_.get(), name); }
    // Something of any kind is at `name`, or it cannot be told that nothing is.
    bool contains(const QString& name) const;
    // Replaces `name` whole: a new file renamed over it. `beforeReplace` runs once the
    // new file is written, right before the rename; when it throws, `name` stays as it was.
    void write(const QString& name, const QByteArray& bytes, const std::function<void()>& beforeReplace = {}) const;
    // Makes `name` as a new file holding `bytes` and keeps it open; an empty descriptor,
    // with the errno in *error, when anything (a link included) is in its place or it
    // cannot be made whole.
    UniqueFd createNew(const QString& name, const QByteArray& bytes, int* error) const;
    // Renames `from` over `to`, whatever `from` is (a damaged entry is only moved aside).
    void rename(const QString& from, const QString& to) const;
    // Removes `name` when it is a regular file; false when it is missing.
    bool removeFile(const QString& name) const;
    // The names of the entries, "." and ".." left out.
    QStringList entries() const;
    // The same as the file system holds them, for looks at many entries.
    QByteArrayList nativeEntries() const;
    files::FileStamp nativeStamp(const QByteArray& name) const { return files::nativeFileStampAt(fd_.get(), name); }
    // The errno the test seam gives a change at `name`, else 0.
    int changeFault(const QString& name) const { return fault_ ? fault_(pathOf(name)) : 0; }
    // Throws when the test seam makes a change at `name` fail.
    void checkChange(const QString& name) const;

private:
    Folder(UniqueFd fd, QString path, ChangeFault fault);
    UniqueFd fd_;
    QString path_;
    ChangeFault fault_;
};

// "Could not write “path”: No space left on device"
QString writeErrorText(const QString& path, int error);

} // namespace velmor::cloud::folder
