#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Files Velmor makes for itself: each is made new under a name of this process,
// "‹file›.velmor-‹pid›-‹n›", never opened through a link or anything else that is
// already at a name, and published by a rename that replaces nothing it must keep.
namespace velmor::files {

// What a temporary file's name adds to its file's name, at most: ".velmor-", the
// process's id, "-" and a 64-bit number in base 36.
constexpr qsizetype maxTemporarySuffixBytes = 8 + 10 + 1 + 13;

struct Made {
    // The new file's path; none when it could not be made, with the system's reason.
    std::optional<QString> path;
    QString error;
};

// The permission bits of the regular file at `path` (through a link when
// `followLink`), for the file that replaces it; none for anything else.
std::optional<unsigned> regularFileMode(const QString& path, bool followLink);

// Writes `bytes` to a new file of this process beside `file` and syncs it; `mode`
// gives it those permission bits. Nothing is left behind when it fails.
Made writeTemporaryBeside(const QString& file, const QByteArray& bytes, std::optional<unsigned> mode = std::nullopt);

// Replaces whatever is at `path` (a link there itself, never its target; not a
// folder) with a file holding `bytes`, in one rename. An empty text when it worked,
// else the reason.
QString replaceWithOwnFile(const QString& path, const QByteArray& bytes);

// Why no file can be made in `folder` (the nearest folder above it that exists, when
// it is missing): the errno of a read-only file system (EROFS) or of a folder this
// process may not write (EACCES); none when files can be made there as far as the
// system tells beforehand.
std::optional<int> unwritableFolder(const QString& folder);

enum class Moved { moved, taken, failed };
// Moves `from` to `to` only when nothing at all is at `to` (a dangling link is
// something): `taken` when something is, `failed` with errno set otherwise.
Moved moveToFreeName(const QString& from, const QString& to);

} // namespace velmor::files
