#include "sync/RemotePayloadDecoder.h"

#include "store/ProfileStore.h"
#include "sync/QueueTask.h"

namespace velmor {

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

QCoro::Task<std::optional<RepairedDocument>> RemotePayloadDecoder::decode(QByteArray payload)
{
    // The job takes the payload out, so that its pages go back on the queue, not
    // wherever the last copy of the job happens to end.
    auto held = std::make_shared<QByteArray>(std::move(payload));
    return onQueue<RepairedDocument>(queue_, [held]() -> std::optional<RepairedDocument> {
        std::optional<LoadResult> decoded = decodePayload(std::exchange(*held, QByteArray()));
        if (!decoded)
            return std::nullopt;
        return ProfileStore::repaired(std::move(*decoded));
    });
}

QCoro::Task<std::optional<RepairedDocument>> RemotePayloadDecoder::repair(LoadResult document)
{
    return onQueue<RepairedDocument>(queue_, [document = std::move(document)] { return ProfileStore::repaired(document); });
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
    return onQueue<SyncChangeSummary::Notice>(queue_, [before = std::move(before), after = std::move(after)] {
        return SyncChangeSummary::summarize(before, after);
    });
}

} // namespace velmor
