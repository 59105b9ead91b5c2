#include "platform/hid/ScriptedFailures.h"

namespace velmor::hid {

void ScriptedFailures::fail(ScriptedCall call, Result result)
{
    const std::lock_guard lock(mutex_);
    always_.insert(call, result);
}

void ScriptedFailures::failNext(ScriptedCall call, Result result, int times)
{
    const std::lock_guard lock(mutex_);
    for (int i = 0; i < times; ++i)
        once_[call].append(result);
}

void ScriptedFailures::clear()
{
    const std::lock_guard lock(mutex_);
    once_.clear();
    always_.clear();
}

std::optional<Result> ScriptedFailures::take(ScriptedCall call)
{
    const std::lock_guard lock(mutex_);
    if (auto it = once_.find(call); it != once_.end() && !it->isEmpty())
        return it->takeFirst();
    if (auto it = always_.constFind(call); it != always_.constEnd())
        return *it;
    return std::nullopt;
}

} // namespace velmor::hid
