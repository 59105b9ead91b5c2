#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velmor::cloud::folder {

// Touches a held lock file every `every` until it goes, on a thread of its own: a
// save may wait many seconds in one step (a share's fsync), and the lock must go on
// showing that its holder lives meanwhile. The descriptor must outlive it.
class LockRenewal {
public:
    LockRenewal(int fd, std::chrono::milliseconds every);
    ~LockRenewal();
    LockRenewal(const LockRenewal&) = delete;
    LockRenewal& operator=(const LockRenewal&) = delete;

private:
    void run();

    const int fd_;
    const std::chrono::milliseconds every_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    std::thread thread_;
};

} // namespace velmor::cloud::folder
