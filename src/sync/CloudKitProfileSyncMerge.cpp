// The profile sync against the document this computer last synced: what changed on
// one side travels, and what changed on both while apart is merged.
#include "platform/Text.h"
#include "store/ProfileLookup.h"
#include "store/ProfileStore.h"
#include "sync/CloudKitProfileSync.h"
#include "sync/OlderRecords.h"
#include "sync/RecordLineage.h"
#include "sync/SaveOutcome.h"
#include "sync/SyncLogLines.h"
#include "sync/SyncTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

namespace velmor {

namespace {

using synctext::errorTitle;
using synctext::warningTitle;

QString keptVersionsText(const QString& folder, const QStringList& files)
{
    return QStringLiteral("Profiles changed both here and elsewhere keep the later change; the other version is "
                          "kept in “%1”: %2.")
        .arg(QDir::toNativeSeparators(folder), synctext::quotedKeptList(files));
}

QString mergeText(const ProfileMerge::Result& merge)
{
    QStringList parts{QStringLiteral("Changes made on this computer and elsewhere were merged.")};
    if (!merge.fromRemote.isEmpty())
        parts << QStringLiteral("From iCloud: %1.").arg(SyncChangeSummary::formatNameList(merge.fromRemote));
    if (!merge.fromLocal.isEmpty())
        parts << QStringLiteral("From this computer: %1.").arg(SyncChangeSummary::formatNameList(merge.fromLocal));
    if (!merge.restored.isEmpty())
        parts << QStringLiteral("Deleted on one side but kept for work made on the other: %1.")
                     .arg(SyncChangeSummary::formatNameList(merge.restored));
    return parts.join(u' ');
}

// What the user then runs, where the merge switched it, as a taken record's notice says it.
QStringList switchedActive(const LoadResult& before, const LoadResult& after)
{
    QStringList lines;
    const auto line = [&lines](const QString& label, const auto& profiles, const std::optional<QUuid>& was,
                               const std::optional<QUuid>& now) {
        if (!now || now == was)
            return;
        if (const auto* profile = findById(profiles, *now))
            lines << label + text::shortenedName(profile->name) + u'.';
    };
    line(QStringLiteral("Active PACS profile: "), after.pacsProfiles, before.activePacsProfileId,
         after.activePacsProfileId);
    line(QStringLiteral("Active user profile: "), after.userProfiles, before.activeUserProfileId,
         after.activeUserProfileId);
    return lines;
}

} // namespace

void CloudKitProfileSync::rememberBase(const cloud::Record& record, QByteArray document)
{
    if (!account_ || record.recordChangeTag().isEmpty())
        return;
    const std::optional<SyncBase::Stamp> synced = base_.isFor(account_) ? base_.stamp() : std::nullopt;
    SyncBase::Stamp stamp = recordLineage::stampAfter(*account_, record, remoteDate(record), synced,
                                                      synced && isRestore(record, *synced));
    // Known for months, beyond the stamp's few: a copy of any of them put back is a restore.
    memory_.rememberSyncedRecords(*account_, recordLineage::tagsOf(stamp));
    base_.remember(std::move(stamp), std::move(document));
}

void CloudKitProfileSync::rememberTaken(const cloud::Record& record, QByteArray document, const QByteArray& saved,
                                       bool sendsRepairs)
{
    // What the store's repairs added to the record's profiles is this computer's own
    // change: weighed against the record's document, and uploaded.
    const bool repaired = saved != document;
    rememberBase(record, std::move(document));
    rememberLeft(saved);
    if (repaired && sendsRepairs)
        queueSync();
}

QCoro::Task<> CloudKitProfileSync::reconcile(cloud::Record record, QByteArray payload,
                                             std::optional<QDateTime> remote, bool isInitialSync, int conflicts)
{
    if (isReconciling_) {
        reconcileAgain_ = true;
        co_return;
    }
    isReconciling_ = true;
    auto ended = qScopeGuard([this] { endReconcile(); });
    LoadResult before = profileStore_->snapshot();
    QByteArray local = profileStore_->makeSyncPayload();
    // Once the store took a payload or a merge, these may be the last hold of the old document.
    const auto released = qScopeGuard([this, &before, &local] {
        decoder_.release(std::move(before));
        decoder_.release(std::move(local));
    });
    const std::optional<SyncBase::Stamp> stampBefore = base_.stamp();
    // Lost, damaged or of another account: no base, and the two sides merge two ways.
    const std::optional<SyncBase::Stamp> stamp = base_.isFor(account_) ? stampBefore : std::nullopt;
    std::optional<QByteArray> base;
    if (stamp)
        base = co_await base_.document();
    const std::optional<QDateTime> localAt = localDate();
    const bool remoteIsLater = remote && localAt && *remote > *localAt;
    const ProfileMerge::Later later = remoteIsLater ? ProfileMerge::Later::remote : ProfileMerge::Later::local;
    const recordLineage::Descent descent =
        stamp ? recordLineage::descentOf(record, *stamp, memory_.syncedRecords()) : recordLineage::Descent::unknown;
    // A copy of a record put back, or one made after it: whatever it replaces here is kept.
    const std::optional<SyncBase::Stamp> olderThan = stamp && isRestore(record, *stamp, descent) ? stamp : std::nullopt;
    // Made over another state than this computer's: the base is not what both sides came
    // from. Naming no history: it tells only what this computer changed, and the record
    // removes nothing this computer synced.
    if (descent == recordLineage::Descent::apart)
        base.reset();
    const bool recordFollows = olderThan || descent != recordLineage::Descent::unknown;
    const bool recordUnchanged = base && record.recordChangeTag() == stamp->changeTag;
    // Named, not temporaries in the await: g++ 12 destroys those twice.
    QCoro::Task<std::optional<ChangesApart>> comparing =
        decoder_.compare(std::move(base), local, payload, recordUnchanged, later, maxDocumentBytes(), recordFollows);
    std::optional<ChangesApart> changes = co_await std::move(comparing);
    // Edited or taken meanwhile: compared again with what the data is now.
    if (!changes || !(profileStore_->snapshot() == before) || !(base_.stamp() == stampBefore) || isTaking_) {
        reconcileAgain_ = true;
        co_return;
    }
    switch (changes->kind) {
    case ChangesApart::Kind::inSync:
        if (!stamp || record.recordChangeTag() != stamp->changeTag)
            rememberBase(record, local);
        // The same profiles written otherwise: nothing to take, send or date.
        if (local != payload)
            co_return;
        break;
    case ChangesApart::Kind::remoteOnly: {
        // Nothing changed here: the record is taken as it is, whatever either side's date.
        if (keepsUnsavedEdits())
            co_return;
        QCoro::Task<> taking =
            applyDecodedPayload(std::move(payload), remote, std::nullopt, std::move(record), olderThan);
        co_await std::move(taking);
        co_return;
    }
    case ChangesApart::Kind::localOnly:
        break;
    case ChangesApart::Kind::unreadable: {
        // This computer's own document is always readable: the record's is not.
        QCoro::Task<> refusing = refuse(std::move(record), std::move(payload), Refusal::unreadable);
        co_await std::move(refusing);
        co_return;
    }
    case ChangesApart::Kind::both: {
        QCoro::Task<> merging =
            changes->mergedBytes > maxDocumentBytes()
                ? refuse(std::move(record), std::move(payload), Refusal::tooLarge, changes->mergedBytes)
                : applyMerge(std::move(record), std::move(payload), remote, std::move(*changes), olderThan);
        co_await std::move(merging);
        co_return;
    }
    }
    const bool uploads = changes->kind == ChangesApart::Kind::localOnly;
    if (conflicts > 0 && uploads) {
        // A refused save goes again over the record it was weighed against, within its count.
        if (stamp)
            base_.restamp(recordLineage::stampOver(*stamp, record));
        // Its own conflicts are weighed by a reconcile of their own.
        ended.dismiss();
        endReconcile();
        co_await upload(conflicts);
    } else if (uploads) {
        uploadOwed_ = true;
        uploadOver(record);
    } else {
        // In sync: the dates decide, as they always have.
        applyByDates(record, payload, remote, isInitialSync);
    }
}

void CloudKitProfileSync::endReconcile()
{
    isReconciling_ = false;
    if (std::exchange(reconcileAgain_, false))
        queueSync();
}

QCoro::Task<> CloudKitProfileSync::applyMerge(cloud::Record record, QByteArray payload,
                                              std::optional<QDateTime> remote, ChangesApart changes,
                                              std::optional<SyncBase::Stamp> olderThan)
{
    const ProfileMerge::Result& merge = *changes.merge;
    if (keepsUnsavedEdits())
        co_return;
    const QString folder = QFileInfo(profileStore_->fileURL()).absolutePath();
    QStringList kept;
    if (!merge.lostPacsProfiles.isEmpty() || !merge.lostUserProfiles.isEmpty() || olderThan) {
        const LoadResult before = profileStore_->snapshot();
        QCoro::Task<std::optional<RemotePayloadDecoder::Kept>> keeping =
            decoder_.keepLost(folder, merge, olderThan ? std::optional(before) : std::nullopt);
        const std::optional<RemotePayloadDecoder::Kept> outcome = co_await std::move(keeping);
        if (!outcome || outcome->error) {
            report(errorTitle, QStringLiteral("The profiles in iCloud were not merged with this computer's, and "
                                              "nothing is uploaded over them, because a version that lost could "
                                              "not be kept: ") +
                                   outcome.value_or(RemotePayloadDecoder::Kept{}).error.value_or(QString()));
            co_return;
        }
        kept = outcome->files;
        logKeptFiles(folder, kept);
        // Edited meanwhile: the merge is of the profiles as they were; weighed again (the files stay).
        if (!(profileStore_->snapshot() == before) || isTaking_ || keepsUnsavedEdits()) {
            reconcileAgain_ = true;
            co_return;
        }
    }
    // Repaired away from the window's thread; edited meanwhile, it is weighed again.
    const LoadResult beforeMerge = profileStore_->snapshot();
    QCoro::Task<std::optional<RepairedDocument>> repairing = decoder_.repair(merge.merged);
    const std::optional<RepairedDocument> merged = co_await std::move(repairing);
    if (!merged || !(profileStore_->snapshot() == beforeMerge) || isTaking_ || keepsUnsavedEdits()) {
        reconcileAgain_ = true;
        co_return;
    }
    SaveOutcome outcome;
    {
        isApplyingRemote_ = true;
        const auto applied = qScopeGuard([this] { isApplyingRemote_ = false; });
        profileStore_->applySyncPayload(*merged, mergeDate(changes, remote), outcome.handler());
        pendingUpload_.cancel();
        pendingUploadAfterInitialSync_ = false;
        uploadOwed_ = !changes.mergeIsRemote;
    }
    const SaveOutcome::Saved saved = co_await outcome;
    if (!saved.saved) {
        QString text = QStringLiteral("The profiles in iCloud were merged with this computer's, but the merge could "
                                      "not be saved, and nothing is sent to iCloud until it is.");
        if (!kept.isEmpty())
            text += u' ' + keptVersionsText(folder, kept);
        report(errorTitle, text);
        co_return;
    }
    // The record is in; what this computer adds to it (the merge, or the store's repairs
    // of the record's profiles) is a change of its own, uploaded now.
    rememberTaken(record, std::move(payload), saved.document, changes.mergeIsRemote);
    QString body = (QStringList{mergeText(merge)} + switchedActive(beforeMerge, profileStore_->snapshot())).join(u' ');
    if (!kept.isEmpty()) {
        body += u' ' + (olderThan ? olderRecords::takenText(remoteDate(record), *olderThan, folder, kept)
                                  : keptVersionsText(folder, kept));
        report(warningTitle, body);
    }
    logSynced(synclog::merged(body));
    syncCustomIcons();
    notices_.post({QStringLiteral("Velmor profiles merged"), body, beforeMerge, body});
    if (!changes.mergeIsRemote)
        scheduleUpload();
}

bool CloudKitProfileSync::isRestore(const cloud::Record& record, const SyncBase::Stamp& synced) const
{
    return isRestore(record, synced, recordLineage::descentOf(record, synced, memory_.syncedRecords()));
}

bool CloudKitProfileSync::isRestore(const cloud::Record& record, const SyncBase::Stamp& synced,
                                    recordLineage::Descent descent) const
{
    switch (descent) {
    case recordLineage::Descent::restore:
        return true;
    case recordLineage::Descent::unknown:
        return olderRecords::isOlder(record, remoteDate(record), synced);
    case recordLineage::Descent::same:
    case recordLineage::Descent::follows:
    case recordLineage::Descent::apart:
        return false;
    }
    return false;
}

QDateTime CloudKitProfileSync::mergeDate(const ChangesApart& changes, const std::optional<QDateTime>& remote)
{
    // The record's own when the merge is its profiles; else the later of the two sides'
    // changes, never the time the merge ran, so a change made elsewhere meanwhile is later.
    if (changes.mergeIsRemote && remote)
        return *remote;
    const std::optional<QDateTime> local = localDate();
    if (local && remote)
        return std::max(*local, *remote);
    return local ? *local : remote.value_or(now());
}

QCoro::Task<std::optional<QString>> CloudKitProfileSync::keepReplacedByOlder(LoadResult before, LoadResult taken,
                                                                          SyncBase::Stamp olderThan,
                                                                          std::optional<QDateTime> changedAt)
{
    const QString folder = QFileInfo(profileStore_->fileURL()).absolutePath();
    QCoro::Task<std::optional<RemotePayloadDecoder::Kept>> keeping =
        decoder_.keepLost(folder, ProfileMerge::Result{std::move(taken), {}, {}, {}, {}, {}}, std::move(before));
    const std::optional<RemotePayloadDecoder::Kept> kept = co_await std::move(keeping);
    if (!kept || kept->error) {
        report(errorTitle, QStringLiteral("The profiles in iCloud were not taken, because this computer's versions "
                                          "of the profiles they change could not be kept: ") +
                               (kept ? kept->error.value_or(QString()) : QString()));
        co_return std::nullopt;
    }
    logKeptFiles(folder, kept->files);
    co_return kept->files.isEmpty() ? QString()
                                    : olderRecords::takenText(changedAt, olderThan, folder, kept->files);
}

} // namespace velmor
