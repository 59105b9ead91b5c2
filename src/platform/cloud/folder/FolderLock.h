#pragma once

#include "platform/cloud/folder/Folder.h"

namespace velmor::cloud::folder {

// The ".lock" file of a folder database, held while a save compares and writes.
// It is made new (never through a link) and the holder's file is read only as a
// small regular file, so a link, FIFO or folder planted in its place is refused
// at once instead of being followed or blocking. Its text is the one QLockFile
// writes (process id, program, host), so older clients understand it.
class FolderLock {
public:
    // A lock older than this was left by a client that died.
    static constexpr int staleLockMs = 10'000;
    // How long another client's lock is waited for.
    static constexpr int lockWaitMs = 15'000;

    // Throws cloud::Error when the lock cannot be taken.
    explicit FolderLock(const Folder& account);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    // True when the holder's lock is stale; throws when the entry is no lock file.
    bool holderIsGone() const;

    const Folder& account_;
    // Held open, so that no other file can take its identity while the lock is held.
    UniqueFd mine_;
};

} // namespace velmor::cloud::folder
