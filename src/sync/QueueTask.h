#pragma once

#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"
#include "sync/CloudReply.h"

#include <QCoro/QCoroTask>

#include <memory>
#include <optional>

namespace velmor {

// Runs `work` on `queue` and resumes on the main queue with what it made.
template <typename T, typename Work>
QCoro::Task<std::optional<T>> onQueue(std::shared_ptr<SerialQueue> queue, Work work)
{
    const auto start = [queue = std::move(queue), work = std::move(work)](cloud::Completion<T> done) {
        queue->async([work, done = std::move(done)] {
            std::optional<T> made = work();
            postToMain([made = std::move(made), done] { done(made, std::nullopt); });
        });
    };
    cloudkit::Reply<T> reply = co_await cloudkit::ReplyAwaiter<T>(start);
    co_return std::move(reply.value);
}

} // namespace velmor
