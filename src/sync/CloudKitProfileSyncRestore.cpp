// A profiles.json put back while Velmor was stopped (a backup restored by hand): its
// profiles go up as a restore over whatever the cloud holds, never merged with it, and
// every computer, this one too, keeps its own later versions as files and is told.
#include "store/ProfileStore.h"
#include "sync/CloudKitCalls.h"
#include "sync/CloudKitProfileSync.h"
#include "sync/RecordLineage.h"
#include "sync/SyncTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

namespace velmor {

void CloudKitProfileSync::noticeLocalRestore()
{
    const QByteArray document = profileStore_->makeSyncPayload();
    const std::optional<bool> left = memory_.leftDocument(document);
    // No state of the sync beside profiles.json, which was no new install: it was put back
    // alone (a new disk). Known only once a record is met; until then nothing forgets it.
    putBackAlone_ = !left && !memory_.wasFound() && !base_.stamp() && !profileStore_->isFreshInstall();
    if (!left && !putBackAlone_)
        memory_.rememberLeftDocument(document);
    // Only where this computer has synced before: elsewhere the first contact decides.
    if (left.value_or(true) || profileStore_->isFreshInstall())
        return;
    localRestore_ = QStringLiteral("restore-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

void CloudKitProfileSync::rememberLeftDocument()
{
    // A restore made here is known again at the next start until it went up.
    if (!localRestore_ && !putBackAlone_ && !profileStore_->hasUnsavedChanges())
        rememberLeft(profileStore_->makeSyncPayload());
}

void CloudKitProfileSync::rememberLeft(QByteArray document)
{
    // A burst of edits saved in one write hands over a document for each: the newest waiting
    // is the one left behind, and the only one digested.
    const quint64 handedOver = ++*leftHandedOver_;
    digests_->async([document = std::move(document), handedOver, newest = leftHandedOver_, weak = weak_from_this()] {
        if (handedOver != newest->load())
            return;
        postToMain([weak, digest = SyncMemory::digestOf(document)]() mutable {
            if (const auto self = weak.lock())
                self->memory_.rememberLeftDigest(std::move(digest));
        });
    });
}

QCoro::Task<> CloudKitProfileSync::keepForLocalRestore()
{
    if (!localRestore_ || std::exchange(localRestoreTold_, true))
        co_return;
    const QString folder = QFileInfo(profileStore_->fileURL()).absolutePath();
    std::optional<QByteArray> synced;
    if (base_.stamp())
        synced = co_await base_.document();
    QString text = QStringLiteral("“%1” was changed while Velmor was stopped (a backup put back, or another "
                                  "program): its profiles are taken as a restore and sent to iCloud, and every "
                                  "other computer takes them and keeps its own versions as files.")
                       .arg(QFileInfo(profileStore_->fileURL()).fileName());
    QStringList keptFiles;
    if (synced) {
        QCoro::Task<std::optional<RemotePayloadDecoder::Kept>> keeping =
            decoder_.keepReplaced(folder, profileStore_->snapshot(), std::move(*synced));
        const std::optional<RemotePayloadDecoder::Kept> kept = co_await std::move(keeping);
        if (kept && kept->error) {
            // Nothing goes over the cloud while this computer's last versions are kept nowhere.
            localRestore_.reset();
            report(synctext::errorTitle, text + QStringLiteral(" But the profiles this computer last synced could "
                                                               "not be kept, so nothing was sent: ") +
                                             *kept->error);
            co_return;
        }
        if (kept)
            keptFiles = kept->files;
        if (!keptFiles.isEmpty())
            text += QStringLiteral(" The versions %1 of the profiles it changes are kept in “%2”: %3.")
                        .arg(restoredOnNewDisk_ ? QStringLiteral("in iCloud") : QStringLiteral("this computer last synced"),
                             QDir::toNativeSeparators(folder), synctext::quotedKeptList(keptFiles));
    }
    report(synctext::warningTitle, text);
    logKeptFiles(folder, keptFiles);
}

bool CloudKitProfileSync::adoptPutBackAlone(const cloud::Record& record)
{
    if (!putBackAlone_ || !account_)
        return false;
    putBackAlone_ = false;
    const std::optional<QByteArray> payload = record.bytes(QStringLiteral("payload"));
    // Profiles in common came from the account: this data synced with it, on the disk it came
    // from. Otherwise the first contact decides, and the same profiles need no restore.
    if (hasSynced_ || profileStore_->hasUnsavedChanges() || !payload || payload->isEmpty() || wasRefused(record) ||
        profileStore_->holdsDocument(*payload) || !profileStore_->sharesProfilesWith(*payload)) {
        rememberLeftDocument();
        return false;
    }
    localRestore_ = QStringLiteral("restore-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    restoredOnNewDisk_ = true;
    rememberSync();
    // The record's profiles stand for what this computer synced: what the restore changes of them is kept.
    rememberBase(record, *payload);
    return true;
}

bool CloudKitProfileSync::goesOverWithLocalRestore(const cloud::Record& record)
{
    if (!localRestore_)
        return false;
    if (!base_.isFor(account_)) {
        localRestore_.reset();
        return false;
    }
    SyncBase::Stamp stamp = *base_.stamp();
    stamp.changeTag = record.recordChangeTag();
    base_.restamp(std::move(stamp));
    uploadOwed_ = true;
    if (hasCompletedInitialSync_)
        scheduleUpload();
    else
        pendingUploadAfterInitialSync_ = true;
    return true;
}

void CloudKitProfileSync::markLocalRestore(cloud::Record& upload) const
{
    if (!localRestore_)
        return;
    // It names no record it came from: every state there is one it replaces.
    upload.setValue(recordLineage::replacesKey, QByteArray());
    upload.setValue(recordLineage::restoresKey, localRestore_->toUtf8());
}

} // namespace velmor
