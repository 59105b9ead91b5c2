#pragma once

#include "platform/MainQueue.h"
#include "platform/ProcessWide.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

namespace velmor {

// A main queue on virtual time for tests: nothing runs until the test says so.
// Work runs in order of due time, then in the order it was posted.
class VirtualMainQueue final : public MainQueue {
public:
    void post(Task task) override;
    Cancellable after(Duration delay, Task task) override;

    // Runs everything that is due now, including work that running work posts.
    // Returns how many tasks ran.
    int runUntilIdle();
    // Moves virtual time forward, running every task at its own due time.
    int advance(Duration by);

    Duration now() const;
    // Tasks waiting, due or not (cancelled ones excluded).
    std::size_t pendingCount() const;

private:
    struct Entry {
        Task task;
        std::shared_ptr<bool> cancelled;
    };
    using Key = std::pair<std::int64_t, std::uint64_t>; // due time (ms), sequence

    bool runNextDueBy(std::int64_t limit);

    mutable std::mutex mutex_;
    std::map<Key, Entry> tasks_;
    std::int64_t nowMs_ = 0;
    std::uint64_t nextSequence_ = 0;
};

// Installs a VirtualMainQueue as the process-wide queue for the lifetime of this object.
using ScopedVirtualMainQueue = ScopedInstance<MainQueue, VirtualMainQueue>;

} // namespace velmor
