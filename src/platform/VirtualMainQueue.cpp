#include "platform/VirtualMainQueue.h"

namespace velmor {

void VirtualMainQueue::post(Task task)
{
    const std::lock_guard lock(mutex_);
    tasks_.emplace(Key{nowMs_, nextSequence_++}, Entry{std::move(task), nullptr});
}

Cancellable VirtualMainQueue::after(Duration delay, Task task)
{
    auto cancelled = std::make_shared<bool>(false);
    const std::lock_guard lock(mutex_);
    const std::int64_t due = nowMs_ + std::max<std::int64_t>(0, delay.count());
    tasks_.emplace(Key{due, nextSequence_++}, Entry{std::move(task), cancelled});
    return Cancellable(cancelled);
}

bool VirtualMainQueue::runNextDueBy(std::int64_t limit)
{
    Entry entry;
    {
        const std::lock_guard lock(mutex_);
        auto it = tasks_.begin();
        if (it == tasks_.end() || it->first.first > limit)
            return false;
        nowMs_ = std::max(nowMs_, it->first.first);
        entry = std::move(it->second);
        tasks_.erase(it);
    }
    if (!entry.cancelled || !*entry.cancelled)
        entry.task();
    return true;
}

int VirtualMainQueue::runUntilIdle()
{
    int ran = 0;
    while (runNextDueBy(now().count()))
        ++ran;
    return ran;
}

int VirtualMainQueue::advance(Duration by)
{
    const std::int64_t target = now().count() + std::max<std::int64_t>(0, by.count());
    int ran = 0;
    while (runNextDueBy(target))
        ++ran;
    const std::lock_guard lock(mutex_);
    nowMs_ = target;
    return ran;
}

MainQueue::Duration VirtualMainQueue::now() const
{
    const std::lock_guard lock(mutex_);
    return Duration(nowMs_);
}

std::size_t VirtualMainQueue::pendingCount() const
{
    const std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& [key, entry] : tasks_)
        if (!entry.cancelled || !*entry.cancelled)
            ++count;
    return count;
}

} // namespace velmor
