#include "platform/Debouncer.h"

#include <utility>

namespace velmor {

void Debouncer::request(std::function<void()> work)
{
    work_ = std::move(work);
    quiet_ = afterOnMain(delay_, [this] { fire(); });
    if (!pending_) {
        pending_ = true;
        deadline_ = afterOnMain(maxWait_, [this] { fire(); });
    }
}

void Debouncer::cancel()
{
    pending_ = false;
    work_ = nullptr;
    quiet_.cancel();
    deadline_.cancel();
}

void Debouncer::fire()
{
    std::function<void()> work = std::exchange(work_, nullptr);
    cancel();
    if (work)
        work();
}

} // namespace velmor
