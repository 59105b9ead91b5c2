#include "model/FileNames.h"
#include "store/ProfileStore.h"
#include "store/ProfileStoreError.h"

#include <algorithm>

namespace velmor {

QByteArray ProfileStore::makeSyncPayload() const
{
    const ProfileSnapshot now = contents();
    // Uploads follow saves: the document the writer made is usually the one to send.
    if (document_ && document_->first == now)
        return document_->second;
    return now.encode(document_ ? document_->second.size() : 0);
}

void ProfileStore::applySyncPayload(const QByteArray& payload, const std::optional<QDateTime>& changedAt)
{
    const std::optional<LoadResult> decoded = decodePayload(payload);
    if (!decoded)
        throw ProfileStoreError::invalidPayload();
    applySyncPayload(*decoded, changedAt);
}

void ProfileStore::applySyncPayload(const LoadResult& decoded, const std::optional<QDateTime>& changedAt)
{
    applySyncPayload(decoded, changedAt, {});
}

void ProfileStore::applySyncPayload(const LoadResult& decoded, const std::optional<QDateTime>& changedAt,
                                    SaveOutcomeHandler whenSaved)
{
    // Saves queued before this one would otherwise upload what the download just replaced.
    ++remoteApplies_;
    // A document without removed built-ins says nothing of them: this computer's stand.
    replaceAll(decoded.pacsProfiles, decoded.userProfiles, decoded.activePacsProfileId, decoded.activeUserProfileId,
               decoded.removedBuiltIns.isEmpty() ? removedBuiltIns_ : decoded.removedBuiltIns);
    normalizeAll(true);
    save(true, changedAt, std::move(whenSaved));
}

void ProfileStore::applySyncPayload(const RepairedDocument& taken, const std::optional<QDateTime>& changedAt,
                                    SaveOutcomeHandler whenSaved)
{
    if (!taken.repaired_)
        return applySyncPayload(taken.document_, changedAt, std::move(whenSaved));
    ++remoteApplies_;
    const LoadResult& document = taken.document_;
    replaceAll(document.pacsProfiles, document.userProfiles, document.activePacsProfileId, document.activeUserProfileId,
               document.removedBuiltIns);
    save(true, changedAt, std::move(whenSaved));
}

QStringList ProfileStore::referencedCustomIconNames() const
{
    QStringList names;
    for (const PacsProfile& profile : pacsProfiles_.get()) {
        for (const RadiologyTool& tool : profile.tools) {
            // The names become paths in the icons folder.
            if (tool.iconSource == ToolIconSource::custom && tool.customIcon && isPlainFileName(*tool.customIcon))
                names.append(*tool.customIcon);
        }
    }
    names.removeDuplicates();
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<SyncChangeSummary::Notice> ProfileStore::syncChangeSummary(const QByteArray& payload) const
{
    const std::optional<LoadResult> incoming = decodePayload(payload);
    if (!incoming)
        return std::nullopt;
    return SyncChangeSummary::summarize(snapshot(), *incoming);
}

LoadResult ProfileStore::snapshot() const
{
    return LoadResult{pacsProfiles_.get(), userProfiles_.get(), activePacsProfileId_.get(),
                      activeUserProfileId_.get(), false, removedBuiltIns_};
}

void ProfileStore::dateNoLaterThan(const QDateTime& time)
{
    if (const std::optional<QDateTime> date = lastModifiedDate(); date && *date > time)
        save(true, time);
}

bool ProfileStore::holdsDocument(const QByteArray& payload) const
{
    return document_ && document_->first == contents() && document_->second == payload;
}

void ProfileStore::dateAs(const QDateTime& changedAt)
{
    if (lastModifiedDate() != changedAt)
        save(true, changedAt);
}

} // namespace velmor
