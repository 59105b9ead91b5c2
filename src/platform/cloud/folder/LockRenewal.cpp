#include "platform/cloud/folder/LockRenewal.h"

#include <sys/stat.h>

namespace velmor::cloud::folder {

LockRenewal::LockRenewal(int fd, std::chrono::milliseconds every) : fd_(fd), every_(every), thread_([this] { run(); })
{
}

LockRenewal::~LockRenewal()
{
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void LockRenewal::run()
{
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, every_, [this] { return stopped_; })) {
        // The file's time, set by whoever stores it: a waiter sees it change, whatever its clock says.
        // A failure only makes the lock look older; the save's own check finds a lock taken meanwhile.
        ::futimens(fd_, nullptr);
    }
}

} // namespace velmor::cloud::folder
