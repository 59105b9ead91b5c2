#include "sync/RemotePayloadDecoder.h"

#include "store/ProfileStore.h"
#include "sync/QueueTask.h"

namespace velmor {

RemotePayloadDecoder::RemotePayloadDecoder()
    : queue_(SerialQueue::create(QStringLiteral("com.velmor.payloads"))),
      releaser_(SerialQueue::create(QStringLiteral("com.velmor.payloads.release")))
{
}

template <typename T>
void RemotePayloadDecoder::releaseLater(T value)
{
    auto held = std::make_shared<T>(std::move(value));
    // Handed over on the next turn: copies that the current turn of the main queue
    // still holds (a completion's arguments) are gone by then. The queue ends the
    // last hold: whichever copy of the job goes last, the value goes there.
    postToMain([releaser = releaser_, held = std::move(held)]() mutable {
        releaser->async([held = std::move(held)]() mutable { *held = T(); });
    });
}

void RemotePayloadDecoder::release(std::optional<cloud::Record> record)
{
    if (record)
        releaseLater(std::move(record));
}

void RemotePayloadDecoder::release(QByteArray document)
{
    if (!document.isEmpty())
        releaseLater(std::move(document));
}

void RemotePayloadDecoder::release(LoadResult profiles) { releaseLater(std::move(profiles)); }

QCoro::Task<std::optional<LoadResult>> RemotePayloadDecoder::decode(QByteArray payload)
{
    // The job takes the payload out, so that its pages go back on the queue, not
    // wherever the last copy of the job happens to end.
    auto held = std::make_shared<QByteArray>(std::move(payload));
    return onQueue<LoadResult>(queue_, [held] { return decodePayload(std::exchange(*held, QByteArray())); });
}

QCoro::Task<std::optional<ChangesApart>> RemotePayloadDecoder::compare(std::optional<QByteArray> base, QByteArray local,
                                                                       QByteArray remote, bool recordUnchanged,
                                                                       ProfileMerge::Later later)
{
    return onQueue<ChangesApart>(queue_, [base = std::move(base), local = std::move(local), remote = std::move(remote),
                                          recordUnchanged, later] {
        return ChangesApart::compare(base, local, remote, recordUnchanged, later);
    });
}

QCoro::Task<std::optional<RemotePayloadDecoder::Kept>> RemotePayloadDecoder::keepLost(QString folder,
                                                                                    ProfileMerge::Result merge)
{
    return onQueue<Kept>(queue_, [folder = std::move(folder), merge = std::move(merge)] {
        try {
            return Kept{ProfileStore::keepLostVersions(folder, merge), std::nullopt};
        } catch (const std::exception& error) {
            return Kept{{}, QString::fromUtf8(error.what())};
        }
    });
}

QCoro::Task<std::optional<SyncChangeSummary::Notice>> RemotePayloadDecoder::summarize(LoadResult before,
                                                                                       LoadResult after)
{
    // As in decode(): the job takes the documents out, so that their last hold here ends on the queue.
    auto held = std::make_shared<std::pair<LoadResult, LoadResult>>(std::move(before), std::move(after));
    return onQueue<SyncChangeSummary::Notice>(queue_, [held] {
        const std::pair<LoadResult, LoadResult> documents = std::exchange(*held, {});
        return SyncChangeSummary::summarize(documents.first, documents.second);
    });
}

} // namespace velmor
