#pragma once

#include <QByteArray>
#include <QString>

#include <fcntl.h>

#include <optional>

// Reading files that someone else may have put in place: only regular files are
// opened, never blocking (a FIFO or a device is refused before it is opened), and
// never beyond a size limit. The strict readers never go through a link in the last
// component (the cloud folder's files); the user's own files may be links the user
// made to a regular file elsewhere, which are followed (readUserFile).
namespace velmor::files {

// What an entry is, seen without following a link. `other`: a FIFO, socket or device.
enum class FileKind { missing, regular, folder, link, other };

// "a symbolic link", "a folder", …: for texts like "“x” is a folder, not a regular file."
QString kindText(FileKind kind);

// The entry's size, modification time and identity, seen without following a link:
// a rewrite in place or by rename changes it.
struct FileStamp {
    FileKind kind = FileKind::missing;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileStamp&) const = default;
};

// `name` relative to the open folder `folder`; AT_FDCWD takes a path as it stands.
// A missing entry (or one whose folder is missing) has kind `missing`.
FileStamp fileStampAt(int folder, const QString& name);
// The same for a name as the file system holds it (from entryNamesAt).
FileStamp nativeFileStampAt(int folder, const QByteArray& name);
inline FileStamp fileStamp(const QString& path) { return fileStampAt(AT_FDCWD, path); }
inline FileKind fileKind(const QString& path) { return fileStamp(path).kind; }

// The system's text for an errno value ("No space left on device").
QString systemErrorText(int error);

enum class ReadFailure { none, missing, notRegular, tooLarge, failed };

struct FileRead {
    std::optional<QByteArray> bytes;
    ReadFailure failure = ReadFailure::none;
    // Names the path and the reason; empty on success.
    QString error;
};

// Reads `name` in the open folder `folder` (AT_FDCWD: a path); `shownPath` names it in
// errors. Links in the folders above the last component are followed.
FileRead readRegularAt(int folder, const QString& name, const QString& shownPath, qint64 maxBytes);
inline FileRead readRegular(const QString& path, qint64 maxBytes)
{
    return readRegularAt(AT_FDCWD, path, path, maxBytes);
}

// Writes all of `bytes` to the open descriptor, across short writes and interruptions;
// false with errno set when it could not.
bool writeAll(int fd, const QByteArray& bytes);

// The names in the open folder `folder`, "." and ".." left out; none, with errno set,
// when it cannot be listed. The listing has a descriptor of its own.
std::optional<QByteArrayList> entryNamesAt(int folder);

// The bytes of a regular file of at most maxBytes; none otherwise, with the reason in *error.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes, QString* error = nullptr);

// Where a file of the user's own folder leads: `path` itself when it is no link; the
// canonical path of the link's final target when that is a regular file; none for a
// dangling link, one that cannot be followed or one that leads to anything else, with
// the cause in `error` ("“…” is a link to “…”, which does not exist.").
struct LinkTarget {
    std::optional<QString> path;
    QString error;
};
LinkTarget followUserLink(const QString& path);

// Where a write to the user's file `path` may put its content: `path` itself when
// nothing is there or a regular file is, else as followUserLink. A folder, FIFO,
// socket or device in its place is never replaced; `error` says what is there.
LinkTarget writableUserFile(const QString& path);

// readRegular, except that a link the user made to a regular file is followed.
FileRead readUserFile(const QString& path, qint64 maxBytes);

} // namespace velmor::files
