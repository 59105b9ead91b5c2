#pragma once

#include "platform/OwnFile.h"
#include "platform/TemporaryFolders.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

namespace velmor {

// A file operation that did not work; description() is the text shown to the user.
class FileError : public std::runtime_error {
public:
    explicit FileError(const QString& description) : std::runtime_error(description.toStdString()) {}
    QString description() const { return QString::fromStdString(what()); }
};

// What tells one version of a file from another without reading it: a file
// written again, replaced or touched gets another stamp.
struct FileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The file operations the profile store relies on, on files of the user's own data
// folder: a link the user made there to a regular file elsewhere stands for that file
// (read through, written to its target, the link kept). Every operation that changes
// something throws FileError when it fails; the store decides what a failure means.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Whether anything is there, a dangling link included.
    virtual bool exists(const QString& path) const = 0;
    // Only a regular file, or a link to one, is read; a folder, FIFO or device in its
    // place, or a link to one, fails, and so does a dangling link.
    virtual QByteArray read(const QString& path) const = 0;
    // Where the content of `path` lives: the final target of a link to a regular file,
    // else `path` itself. A file written there by a rename keeps the user's link.
    virtual QString resolve(const QString& path) const = 0;
    // Afterwards `path` (its link's target, for a link) holds either its old content
    // or all of `bytes`, never a part. Only a missing file or a regular file is
    // written: a folder, FIFO, socket or device there, or a link to one, fails.
    virtual void write(const QString& path, const QByteArray& bytes) = 0;
    // Writes `bytes` to a file this process makes new beside `file`
    // ("‹file›.velmor-‹pid›-‹n›"), never through anything already at a name, and
    // returns its path.
    virtual QString writeTemporary(const QString& file, const QByteArray& bytes) = 0;
    // Moves `from` to `to`, replacing `to` in one step.
    virtual void rename(const QString& from, const QString& to) = 0;
    // Moves `from` to `to` only when nothing is at `to`; false when something is
    // (a file, folder, link or FIFO, which stays as it is).
    virtual bool moveToFreeName(const QString& from, const QString& to) = 0;
    // Gives the file `to` the permission bits of the regular file `from`, so that a
    // file replaced by a rename stays as private as the user made it. Best effort.
    virtual void copyPermissions(const QString& from, const QString& to) = 0;
    // A missing file counts as removed.
    virtual void remove(const QString& path) = 0;
    // Creates the folder and its parents; an existing folder is fine.
    virtual void makeFolder(const QString& path) = 0;
    // None when the file is missing or its attributes cannot be read.
    virtual std::optional<QDateTime> modificationTime(const QString& path) const = 0;
    // Dates the file itself (never a link's target) as last changed at `time`.
    virtual void setModificationTime(const QString& path, const QDateTime& time) = 0;
    // None when the file is missing or its attributes cannot be read.
    virtual std::optional<FileStamp> stamp(const QString& path) const = 0;
    // Why nothing can be made in `folder` ("Read-only file system"); none when the
    // system does not say so beforehand.
    virtual std::optional<QString> unwritableFolder(const QString& folder) const
    {
        (void)folder;
        return std::nullopt;
    }
};

// Moves `from` to `name`, else to "‹name›-2", "‹name›-3", …: the first name at which
// nothing is (a file, folder, link or FIFO there stays as it is). Returns the name
// taken; throws FileError.
QString moveToFirstFreeName(FileSystem& fileSystem, const QString& from, const QString& name);

// Writes `bytes` to a new temporary file and moves it to the first free name as
// above; the copy gets the permission bits of `permissionsOf` when given. Returns
// the name taken; throws FileError, leaving nothing behind.
QString keepCopyAtFreeName(FileSystem& fileSystem, const QByteArray& bytes, const QString& name,
                           const QString& permissionsOf = {});

// A temporary file this process wrote (FileSystem::writeTemporary), removed when
// this goes unless it was published under its final name.
class OwnTemporary {
public:
    OwnTemporary(FileSystem& fileSystem, const QString& file, const QByteArray& bytes)
        : fileSystem_(fileSystem), path_(fileSystem.writeTemporary(file, bytes))
    {
    }
    ~OwnTemporary();
    OwnTemporary(const OwnTemporary&) = delete;
    OwnTemporary& operator=(const OwnTemporary&) = delete;

    const QString& path() const { return path_; }
    void published() { path_.clear(); }

private:
    FileSystem& fileSystem_;
    QString path_;
};

// The local disk. Reads never block and stop at a size limit; writes go to a
// temporary file beside the target, synced before the rename that publishes it.
class LocalFileSystem final : public FileSystem {
public:
    // Far above the profiles of 50 users with 1,000 mappings each.
    static constexpr qint64 maxReadBytes = 64 * 1024 * 1024;
    // What write() adds to a file's name for its temporary file, at most.
    static constexpr qsizetype maxTemporarySuffixBytes = files::maxTemporarySuffixBytes;

    // Removes the temporary files that write() left in `folder` in processes that no
    // longer run (a kill while writing), and those of earlier versions, which name no
    // process, while no other velmor of the user runs: every one there, or with
    // `fileName` (a folder not Velmor's own), only those of that very file that name
    // their process ("‹fileName›.velmor-‹pid›-‹n›"). Returns the names removed.
    static QStringList removeLeftoverTemporaries(
        const QString& folder, const QString& fileName = {},
        const temporaryFolders::Processes& processes = temporaryFolders::Processes::system());

    bool exists(const QString& path) const override;
    QByteArray read(const QString& path) const override;
    QString resolve(const QString& path) const override;
    void write(const QString& path, const QByteArray& bytes) override;
    QString writeTemporary(const QString& file, const QByteArray& bytes) override;
    void rename(const QString& from, const QString& to) override;
    bool moveToFreeName(const QString& from, const QString& to) override;
    void copyPermissions(const QString& from, const QString& to) override;
    void remove(const QString& path) override;
    void makeFolder(const QString& path) override;
    std::optional<QDateTime> modificationTime(const QString& path) const override;
    void setModificationTime(const QString& path, const QDateTime& time) override;
    std::optional<FileStamp> stamp(const QString& path) const override;
    std::optional<QString> unwritableFolder(const QString& folder) const override;
};

} // namespace velmor
