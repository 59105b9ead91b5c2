#pragma once

#include "platform/cloud/folder/Folder.h"
#include "platform/cloud/folder/LockHolder.h"
#include "platform/cloud/folder/LockRenewal.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace velmor::cloud::folder {

// How a lock waits for another client's and keeps its own. Tests drive the waiter's
// clock and name another machine; whatever is left empty is the real one.
struct LockTiming {
    using Clock = std::chrono::steady_clock;
    // The waiter's monotonic clock.
    std::function<Clock::time_point()> now;
    // Waits between two looks at another client's lock.
    std::function<void(std::chrono::milliseconds)> pause;
    // This machine's name, as lock files give it.
    QString hostName;
    // What tells this computer from others of that name (LockHolder::thisComputer()).
    QByteArray computer;
    // How often a holder shows that it lives.
    std::chrono::milliseconds renewEvery{2'000};
};

// The ".lock" file of a folder database, held while a save compares and writes.
// It is made new (never through a link) and the holder's file is read only as a
// small regular file, so a link, FIFO or folder planted in its place is refused
// at once instead of being followed or blocking. Its text names its holder (LockHolder).
//
// No clock judges a lock: machines' clocks differ, and a share may take many seconds
// for one write. The holder touches its file while it works, and a lock that stayed
// the same for staleLockMs by the waiter's own monotonic clock is taken, whoever holds
// it. Only a holder that is certainly gone (one on this computer whose process no longer
// runs) loses its lock at once. A holder whose lock was taken all the same (a share that
// hid its touches, a process that stopped) writes nothing: confirmHeld() before each
// replacement finds it out.
class FolderLock {
public:
    static inline const QString fileName = QStringLiteral(".lock");
    // A lock unchanged this long was left by a client that died.
    static constexpr int staleLockMs = 10'000;
    // How long another client's lock is waited for.
    static constexpr int lockWaitMs = 15'000;

    // Throws cloud::Error when the lock cannot be taken.
    explicit FolderLock(const Folder& account, const LockTiming& timing = {});
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Throws a conflict (serverRecordChanged) when the lock is no longer this one's:
    // another client may have written since this one read.
    void confirmHeld() const;

private:
    // Another client's lock as one look found it.
    struct Look {
        std::optional<QByteArray> text; // none: gone meanwhile
        files::FileStamp stamp;
        bool operator==(const Look&) const = default;
    };
    // Throws when the entry is no lock file.
    Look lookAtHolder() const;
    bool isMine() const;

    const Folder& account_;
    const LockHolder holder_;
    const QByteArray text_;
    // Held open, so that no other file can take its identity while the lock is held.
    UniqueFd mine_;
    std::optional<LockRenewal> renewal_;
};

} // namespace velmor::cloud::folder
