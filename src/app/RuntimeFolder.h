#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace velmor::runtimeFolder {

// A folder only this user can enter: a real folder (not a link), owned by this
// user, mode exactly 0700. A name in a folder anyone can write, or in one
// another user made, could be taken first, so names that decide who runs
// (the single-instance lock and socket) live only in such a folder.
bool isPrivate(const QString& path);

// Makes `path` with mode 0700 when it is missing (its parents as the umask
// says); true when it is then private. One that exists is used as it is,
// never changed: a folder someone else made stays theirs.
bool makePrivate(const QString& path);

// The places tried in turn: $XDG_RUNTIME_DIR (used only as it is), then
// "<temporary folder>/velmor-<uid>" and "<cache folder>/velmor-runtime", made
// when missing.
struct Candidates {
    QString runtimeDir;
    QStringList fallbacks;
};
Candidates candidates();

// The first private candidate; nullopt when none is.
std::optional<QString> choose(const Candidates& candidates);

} // namespace velmor::runtimeFolder
