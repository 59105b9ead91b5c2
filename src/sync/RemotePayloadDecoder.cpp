#include "sync/RemotePayloadDecoder.h"

#include "platform/MainQueue.h"
#include "sync/CloudReply.h"

namespace velmor {

namespace {

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

} // namespace

RemotePayloadDecoder::RemotePayloadDecoder()
    : queue_(SerialQueue::create(QStringLiteral("com.velmor.payloads"))),
      releaser_(SerialQueue::create(QStringLiteral("com.velmor.payloads.release")))
{
}

void RemotePayloadDecoder::release(std::optional<cloud::Record> record)
{
    if (!record)
        return;
    auto held = std::make_shared<std::optional<cloud::Record>>(std::move(record));
    // Handed over on the next turn: copies that the current turn of the main queue
    // still holds (a completion's arguments) are gone by then. The queue ends the
    // last hold: whichever copy of the job goes last, the record goes there.
    postToMain([releaser = releaser_, held = std::move(held)]() mutable {
        releaser->async([held = std::move(held)]() mutable { held->reset(); });
    });
}

QCoro::Task<std::optional<LoadResult>> RemotePayloadDecoder::decode(QByteArray payload)
{
    // The job takes the payload out, so that its pages go back on the queue, not
    // wherever the last copy of the job happens to end.
    auto held = std::make_shared<QByteArray>(std::move(payload));
    return onQueue<LoadResult>(queue_, [held] { return decodePayload(std::exchange(*held, QByteArray())); });
}

QCoro::Task<std::optional<SyncChangeSummary::Notice>> RemotePayloadDecoder::summarize(LoadResult before,
                                                                                       LoadResult after)
{
    return onQueue<SyncChangeSummary::Notice>(queue_, [before = std::move(before), after = std::move(after)] {
        return SyncChangeSummary::summarize(before, after);
    });
}

} // namespace velmor
