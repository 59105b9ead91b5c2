#include "sync/RemotePayloadDecoder.h"

#include "store/ProfileLookup.h"
#include "store/ProfileStore.h"
#include "store/SameAtGrain.h"
#include "sync/QueueTask.h"

namespace velmor {

namespace {

// Written whole, the smallest profiles a document can hold take less than ten times its bytes.
constexpr qint64 maxGrowth = 10;

// The size of `profiles` as this computer writes them, measured only where the most they
// can take (`mostBytes`) exceeds `maxBytes`; else 0.
qint64 writtenBytes(const LoadResult& profiles, qint64 mostBytes, qint64 maxBytes)
{
    if (mostBytes <= maxBytes)
        return 0;
    const ProfileSnapshot snapshot{profiles.pacsProfiles, profiles.userProfiles,
                                   profiles.activePacsProfileId.value_or(QUuid()),
                                   profiles.activeUserProfileId.value_or(QUuid()), profiles.removedBuiltIns};
    return snapshot.encode().size();
}

// Each profile of `before` that the merge's profiles lack or hold otherwise, among its lost ones.
void addReplaced(ProfileMerge::Result& merge, const LoadResult& before)
{
    const LoadResult& after = merge.merged;
    for (const PacsProfile& profile : before.pacsProfiles) {
        const PacsProfile* now = findById(after.pacsProfiles, profile.id);
        if ((!now || !sameAtGrain(*now, profile)) && !merge.lostPacsProfiles.contains(profile))
            merge.lostPacsProfiles.append(profile);
    }
    for (const UserProfile& profile : before.userProfiles) {
        const UserProfile* now = findById(after.userProfiles, profile.id);
        const auto known = [&](const ProfileMerge::LostUserProfile& lost) { return lost.profile == profile; };
        if ((now && sameAtGrain(*now, profile)) || std::any_of(merge.lostUserProfiles.cbegin(),
                                                                merge.lostUserProfiles.cend(), known))
            continue;
        const PacsProfile* pacs = findById(before.pacsProfiles, profile.pacsProfileId);
        merge.lostUserProfiles.append({profile, pacs ? std::optional(*pacs) : std::nullopt});
    }
}

RemotePayloadDecoder::Kept keptVersions(const QString& folder, const ProfileMerge::Result& lost)
{
    try {
        return {ProfileStore::keepLostVersions(folder, lost), std::nullopt};
    } catch (const std::exception& error) {
        return {{}, QString::fromUtf8(error.what())};
    }
}

} // namespace

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

QCoro::Task<std::optional<RemotePayloadDecoder::Decoded>>
RemotePayloadDecoder::decode(QByteArray payload, qint64 maxDocumentBytes, BuiltInRemovals standing)
{
    // The job takes the payload out, so that its pages go back on the queue, not
    // wherever the last copy of the job happens to end.
    auto held = std::make_shared<QByteArray>(std::move(payload));
    return onQueue<Decoded>(queue_, [held, maxDocumentBytes, standing = std::move(standing)] {
        const QByteArray bytes = std::exchange(*held, QByteArray());
        std::optional<LoadResult> profiles = decodePayload(bytes);
        if (!profiles)
            return Decoded{};
        Decoded decoded{ProfileStore::repaired(std::move(*profiles), standing), 0};
        decoded.writtenBytes = writtenBytes(decoded.profiles->document(), maxGrowth * bytes.size(), maxDocumentBytes);
        return decoded;
    });
}

QCoro::Task<std::optional<RepairedDocument>> RemotePayloadDecoder::repair(LoadResult document)
{
    return onQueue<RepairedDocument>(queue_, [document = std::move(document)] { return ProfileStore::repaired(document); });
}

QCoro::Task<std::optional<ChangesApart>> RemotePayloadDecoder::compare(std::optional<QByteArray> base, QByteArray local,
                                                                       QByteArray remote, bool recordUnchanged,
                                                                       ProfileMerge::Later later,
                                                                       qint64 maxDocumentBytes, bool recordFollows)
{
    return onQueue<ChangesApart>(queue_, [base = std::move(base), local = std::move(local), remote = std::move(remote),
                                          recordUnchanged, later, maxDocumentBytes, recordFollows] {
        ChangesApart changes = ChangesApart::compare(base, local, remote, recordUnchanged, later, recordFollows);
        // This computer's documents are written as it writes them; what the record adds may grow.
        const qint64 most = local.size() + (base ? base->size() : 0) + maxGrowth * remote.size();
        if (changes.merge)
            changes.mergedBytes = writtenBytes(changes.merge->merged, most, maxDocumentBytes);
        return changes;
    });
}

QCoro::Task<std::optional<RemotePayloadDecoder::Kept>> RemotePayloadDecoder::keepLost(QString folder,
                                                                                    ProfileMerge::Result merge,
                                                                                    std::optional<LoadResult> replaced)
{
    return onQueue<Kept>(queue_, [folder = std::move(folder), merge = std::move(merge),
                                  replaced = std::move(replaced)] {
        ProfileMerge::Result lost = merge;
        if (replaced)
            addReplaced(lost, *replaced);
        return keptVersions(folder, lost);
    });
}

QCoro::Task<std::optional<RemotePayloadDecoder::Kept>> RemotePayloadDecoder::keepReplaced(QString folder,
                                                                                        LoadResult taken,
                                                                                        QByteArray replaced)
{
    return onQueue<Kept>(queue_, [folder = std::move(folder), taken = std::move(taken),
                                  replaced = std::move(replaced)] {
        const std::optional<LoadResult> was = decodePayload(replaced);
        if (!was)
            return Kept{};
        ProfileMerge::Result lost{taken, {}, {}, {}, {}, {}};
        addReplaced(lost, *was);
        return keptVersions(folder, lost);
    });
}

QCoro::Task<std::optional<RemotePayloadDecoder::Kept>> RemotePayloadDecoder::keepPayload(QString folder, QString name,
                                                                                       QString kind, QByteArray payload)
{
    auto held = std::make_shared<QByteArray>(std::move(payload));
    return onQueue<Kept>(queue_, [folder = std::move(folder), name = std::move(name), kind = std::move(kind), held] {
        const QByteArray bytes = std::exchange(*held, QByteArray());
        try {
            return Kept{{ProfileStore::keepDocument(folder, name, kind, bytes)}, std::nullopt};
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
