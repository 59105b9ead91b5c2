#include "sync/CloudKitProfileSync.h"

#include "model/CustomIconLibrary.h"
#include "platform/cloud/Notification.h"
#include "platform/notifications/Notifier.h"
#include "store/ProfileStore.h"
#include "store/ProfileStoreError.h"
#include "sync/CloudKitCalls.h"
#include "sync/CloudKitIconSync.h"
#include "sync/OlderRecords.h"
#include "sync/RecordLineage.h"
#include "sync/SaveOutcome.h"
#include "sync/SyncTexts.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QUuid>

namespace velmor {

namespace {

using synctext::errorTitle;
using synctext::quotedKeptList;
using synctext::syncTitle;
using synctext::warningTitle;

const QString payloadKey = QStringLiteral("payload");
const QString updatedAtKey = QStringLiteral("updatedAt");
const QString schemaVersionKey = QStringLiteral("schemaVersion");

QString describe(const std::exception& error)
{
    if (const auto* cloudError = dynamic_cast<const cloud::Error*>(&error))
        return cloudError->localizedDescription();
    return QString::fromUtf8(error.what());
}

// Where the profiles made before the first sync went, and how to get them back.
QString keptProfilesText(const QString& folder, const QStringList& files)
{
    const bool pacs = !files.filter(QStringLiteral("(PACS profile)")).isEmpty();
    return QStringLiteral("The profiles made here before are kept in “%1”: %2. Import them with “Import User "
                          "Profile…”%3.")
        .arg(QDir::toNativeSeparators(folder), quotedKeptList(files),
             pacs ? QStringLiteral(" and “Import PACS Profile…”") : QString());
}

QString keptIconsText(const QString& folder, const QStringList& icons)
{
    return QStringLiteral("This computer's own drawings of icons that iCloud has too are kept in “%1”: %2.")
        .arg(QDir::toNativeSeparators(folder), quotedKeptList(icons));
}

// "payload" when it holds bytes; an empty one is met like a missing one.
std::optional<QByteArray> payloadOf(const cloud::Record& record)
{
    std::optional<QByteArray> payload = record.bytes(payloadKey);
    if (payload && payload->isEmpty())
        return std::nullopt;
    return payload;
}

QCoro::Task<> keepAlive(std::shared_ptr<CloudKitProfileSync> self, QCoro::Task<> task)
{
    Q_UNUSED(self);
    co_await std::move(task);
}

} // namespace

std::shared_ptr<CloudKitProfileSync> CloudKitProfileSync::create(std::shared_ptr<ProfileStore> store,
                                                                  std::shared_ptr<cloud::Container> container,
                                                                  Clock clock)
{
    if (!container)
        container = cloud::Container::named(containerIdentifier);
    if (!clock)
        clock = [] { return QDateTime::currentDateTimeUtc(); };
    return std::make_shared<CloudKitProfileSync>(Token{}, std::move(store), std::move(container), std::move(clock));
}

CloudKitProfileSync::CloudKitProfileSync(Token, std::shared_ptr<ProfileStore> store,
                                         std::shared_ptr<cloud::Container> container, Clock clock)
    : profileStore_(std::move(store)),
      container_(std::move(container)),
      database_(container_->privateCloudDatabase()),
      iconsDirectory_(customIconsDirectory()),
      iconSync_(std::make_unique<CloudKitIconSync>(*database_, iconsDirectory_, QDir::tempPath(),
                                                   QFileInfo(profileStore_->fileURL()).absolutePath())),
      subscriptions_(database_, [this](const QString& title, const QString& message) { report(title, message); }),
      clock_(std::move(clock)),
      memory_(QFileInfo(profileStore_->fileURL()).absolutePath()),
      base_(QFileInfo(profileStore_->fileURL()).absolutePath(),
            [this](const QString& message) { report(warningTitle, message); }),
      emptyFolderGuard_(container_, memory_,
                        [this](const QString& title, const QString& message) { report(title, message); }),
      notices_([this](const QString& title, const QString& body) { postChangeNotification(title, body); },
               [this](ChangeNotices::Gathered gathered) { launch(tellGathered(std::move(gathered))); })
{
    iconSync_->setRefusalHandler([this](const QString& description) { report(errorTitle, description); });
    iconSync_->setKeptHandler([this](const QString& description, const QStringList& lines) {
        report(warningTitle, description);
        logKeptLines(lines);
    });
    iconSync_->setLogHandler([this](const QStringList& lines) {
        QStringList titled;
        titled.reserve(lines.size());
        for (const QString& line : lines)
            titled.append(errorTitle + QStringLiteral(": ") + line);
        if (onNoticeLines)
            onNoticeLines(NoticeLines::iconProblems, titled);
        else if (const ProfileStore::LogHandler log = profileStore_->onLog)
            for (const QString& line : std::as_const(titled))
                log(line);
    });
}

CloudKitProfileSync::~CloudKitProfileSync()
{
    // At quit, at once: nothing comes back from the queue once this is gone.
    if (hasStarted_ && !localRestore_ && !putBackAlone_ && !profileStore_->hasUnsavedChanges())
        memory_.rememberLeftDocument(profileStore_->makeSyncPayload());
}

void CloudKitProfileSync::start()
{
    if (hasStarted_)
        return;
    hasStarted_ = true;
    noticeLocalRestore();
    profileStore_->onSave = [weak = weak_from_this()] {
        if (const auto self = weak.lock()) {
            // Known as this computer's own at once: a kill before the upload is no restore.
            self->rememberLeftDocument();
            self->scheduleUpload();
            // Paused for a data folder that could not be written: it takes writes again.
            if (self->hasLoggedUnwritable_)
                self->queueSync();
        }
    };
    // A folder that takes writes again: what waits for it goes up now, not at the next edit.
    container_->setWritableAgainHandler([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (self && (self->uploadOwed_ || !self->hasCompletedInitialSync_))
            self->queueSync();
    });
    launchLater([](CloudKitProfileSync& self) { return self.runStart(); });
}

QCoro::Task<> CloudKitProfileSync::runStart()
{
    co_await performInitialSync();
    syncIconsOnce();
    // g++ 12 miscompiles co_await inside a condition: await into a local first.
    const bool available = co_await ensureAccountAvailable();
    if (!available)
        co_return;
    co_await cleanUpSubscriptions();
    co_await ensureDatabaseSubscription();
    co_await ensureQuerySubscription();
}

void CloudKitProfileSync::launch(QCoro::Task<> task) { keepAlive(shared_from_this(), std::move(task)); }

void CloudKitProfileSync::launchLater(std::function<QCoro::Task<>(CloudKitProfileSync&)> makeTask)
{
    // A task runs up to its first wait when made, so it is made on the later turn.
    postToMain([weak = weak_from_this(), makeTask = std::move(makeTask)] {
        if (const auto self = weak.lock())
            self->launch(makeTask(*self));
    });
}

void CloudKitProfileSync::report(const QString& title, const QString& message) const
{
    if (const ProfileStore::ErrorHandler handler = profileStore_->onError)
        handler(title, message);
}

std::optional<QDateTime> CloudKitProfileSync::remoteDate(const cloud::Record& record)
{
    if (std::optional<QDateTime> updatedAt = record.date(updatedAtKey))
        return updatedAt;
    return record.modificationDate();
}

QDateTime CloudKitProfileSync::now() const { return profileStore_->clock(); }

std::optional<QDateTime> CloudKitProfileSync::countedRemoteDate(const cloud::Record& record)
{
    const std::optional<QDateTime> date = remoteDate(record);
    const QDateTime current = now();
    if (!date || *date <= current)
        return date;
    // A clock ahead, or anyone who can write the folder: counted as now, and as that
    // same time later on, so that edits made after it, here or elsewhere, win.
    if (const std::optional<QDateTime> counted = memory_.countedDate(*date))
        return std::min(*counted, current);
    memory_.rememberCountedDate(*date, current);
    return current;
}

std::optional<QDateTime> CloudKitProfileSync::localDate()
{
    profileStore_->dateNoLaterThan(now());
    return profileStore_->lastModifiedDate();
}

QCoro::Task<bool> CloudKitProfileSync::checkAccount()
{
    QString account;
    try {
        account = co_await cloudkit::fetchUserRecordID(container_);
    } catch (const cloud::Error&) {
        // Unknown for now: the sync goes on with the account it knows, if any.
        co_return false;
    }
    if (account_ == account)
        co_return false;
    const bool changed = account_.has_value();
    account_ = account;
    if (changed) {
        // The folder was replaced under this run: what was known of the old one goes.
        hasSynced_ = memory_.hasSyncedWith(account);
        cachedRecord_.reset();
        uploadOwed_ = false;
    } else if (memory_.hasSyncedWith(account)) {
        hasSynced_ = true;
    } else if (hasSynced_) {
        memory_.rememberSyncWith(account);
    }
    co_return changed;
}

void CloudKitProfileSync::rememberSync()
{
    hasSynced_ = true;
    if (account_)
        memory_.rememberSyncWith(*account_);
    emptyFolderGuard_.rememberPlace();
}

bool CloudKitProfileSync::isFirstContact(const QByteArray& payload)
{
    if (hasSynced_)
        return false;
    // Profiles in common came from that record or went into it: this data synced
    // with the account before the memory of it was kept. Only data on disk counts:
    // a take whose save failed is still to come.
    if (!profileStore_->hasUnsavedChanges() && profileStore_->sharesProfilesWith(payload)) {
        rememberSync();
        return false;
    }
    return true;
}

void CloudKitProfileSync::takeAtFirstContact(const QByteArray& payload, const std::optional<QDateTime>& remote,
                                             const cloud::Record& record)
{
    if (profileStore_->hasUnsavedChanges()) {
        applyRemotePayload(payload, remote); // tells the user why nothing was taken
        return;
    }
    FirstContact firstContact{{}, profileStore_->referencedCustomIconNames()};
    try {
        firstContact.keptFiles = profileStore_->keepProfilesMissingFrom(payload);
    } catch (const std::exception& error) {
        report(errorTitle, QStringLiteral("The profiles in iCloud were not taken, and nothing is uploaded over them, "
                                          "because the profiles made on this computer could not be kept: ") +
                               describe(error));
        return;
    }
    launchApply(payload, remote, std::move(firstContact), record);
}

// --- Upload

void CloudKitProfileSync::scheduleUpload()
{
    if (isApplyingRemote_)
        return;
    if (!hasCompletedInitialSync_) {
        pendingUploadAfterInitialSync_ = true;
        return;
    }
    pendingUpload_.request([weak = weak_from_this()] {
        if (const auto self = weak.lock()) {
            // This computer's own edit: not one made while Velmor was stopped, whether it goes up now or not.
            self->rememberLeftDocument();
            self->launch(self->uploadProfiles());
        }
    });
}

QCoro::Task<> CloudKitProfileSync::uploadProfiles() { co_await upload(0); }

QCoro::Task<> CloudKitProfileSync::upload(int conflicts)
{
    if (isApplyingRemote_)
        co_return;
    // The take decides what goes up.
    if (isTaking_) {
        uploadAfterTake_ = true;
        co_return;
    }
    const bool available = co_await ensureAccountAvailable();
    if (!available) {
        uploadOwed_ = true;
        co_return;
    }
    const bool otherAccount = co_await checkAccount();
    if (otherAccount) {
        co_await runStart();
        co_return;
    }
    if (isTaking_) {
        uploadAfterTake_ = true;
        co_return;
    }
    if (!hasSynced_) {
        // Never over a record this data has not met yet: that one is taken instead.
        Fetched fetched = co_await fetchProfilesRecord();
        if (fetched.failed) {
            uploadOwed_ = true;
            co_return;
        }
        const bool found = fetched.record.has_value();
        const bool taken = found && takeIfFirstContact(*fetched.record);
        letGo(fetched.record);
        if (taken)
            co_return;
        if (!found)
            cacheRecord(std::nullopt);
    }

    bool conflicted = false;
    try {
        const QByteArray payload = profileStore_->makeSyncPayload();
        LoadResult sent = profileStore_->snapshot();
        cloud::Record record = cachedRecord_.value_or(cloud::Record(cloudkit::profilesRecordType, cloudkit::profilesRecordName));
        // Only over the record this data last synced with: one changed since is merged first.
        if (base_.isFor(account_))
            record.setServerMetadata(base_.stamp()->changeTag, record.modificationDate());
        record.setValue(payloadKey, payload);
        // The time of the change the payload holds, so that between machines the later change wins.
        record.setValue(updatedAtKey, localDate().value_or(clock_()));
        record.setValue(schemaVersionKey, schemaVersion);
        // Named after the records it replaces and numbered above every number met: a copy
        // put back, or a record made over another state, is told by it.
        recordLineage::stampUpload(record, base_.isFor(account_) ? base_.stamp() : std::nullopt, cachedRecord_);
        markLocalRestore(record);
        cloud::Record saved = co_await cloudkit::saveRecord(database_, std::move(record));
        rememberBase(saved, payload);
        localRestore_.reset();
        rememberLeft(payload);
        cacheRecord(std::move(saved));
        uploadOwed_ = false;
        rememberSync();
        launch(logUploaded(std::move(sent), payload.size()));
    } catch (const cloud::Error& error) {
        if (error.code() != cloud::Error::Code::serverRecordChanged) {
            uploadOwed_ = true;
            report(errorTitle, error.localizedDescription());
            co_return;
        }
        conflicted = true;
    } catch (const std::exception& error) {
        uploadOwed_ = true;
        report(errorTitle, describe(error));
        co_return;
    }
    if (conflicted) {
        co_await resolveConflict(conflicts + 1);
        co_return;
    }
    syncCustomIcons();
}

// The profiles record as it is in the cloud now, kept as the base of the next save;
// none when it is missing or could not be fetched (reported). Its payload is not
// kept: the next save replaces it, and it is many megabytes.
void CloudKitProfileSync::cacheRecord(std::optional<cloud::Record> record)
{
    std::optional<cloud::Record> base = record;
    if (base)
        base->removeValue(payloadKey);
    cachedRecord_ = std::move(base);
    // Should this be the payload's last hold (the store moved on meanwhile), it goes there too.
    letGo(record);
}

void CloudKitProfileSync::letGo(std::optional<cloud::Record>& record)
{
    decoder_.release(std::exchange(record, std::nullopt));
}

bool CloudKitProfileSync::takeIfFirstContact(const cloud::Record& record)
{
    const std::optional<QByteArray> payload = payloadOf(record);
    if (!payload || wasRefused(record) || !isFirstContact(*payload))
        return false;
    takeAtFirstContact(*payload, countedRemoteDate(record), record);
    return true;
}

QCoro::Task<CloudKitProfileSync::Fetched> CloudKitProfileSync::fetchProfilesRecord()
{
    try {
        std::optional<cloud::Record> record = co_await cloudkit::fetchRecord(database_, cloudkit::profilesRecordName);
        if (record)
            cacheRecord(record);
        co_return Fetched{std::move(record), false};
    } catch (const cloud::Error& error) {
        report(errorTitle, error.localizedDescription());
    }
    co_return Fetched{std::nullopt, true};
}

QCoro::Task<> CloudKitProfileSync::resolveSaveConflict() { co_await resolveConflict(1); }

QCoro::Task<> CloudKitProfileSync::resolveConflict(int conflicts)
{
    // Another machine keeps writing: leave it to the next save or "Sync Now".
    if (conflicts > maxConflictRetries) {
        uploadOwed_ = true;
        report(errorTitle, QStringLiteral("The profiles record in iCloud kept changing during the upload, so the "
                                          "upload was stopped. The next change or Sync Now tries again."));
        co_return;
    }
    Fetched fetched = co_await fetchProfilesRecord();
    if (!fetched.record) {
        uploadOwed_ = uploadOwed_ || fetched.failed;
        co_return;
    }
    // A restore made here goes over whatever was written meanwhile.
    if (localRestore_ && goesOverWithLocalRestore(*fetched.record)) {
        letGo(fetched.record);
        pendingUpload_.cancel();
        co_await upload(conflicts);
        co_return;
    }
    const std::optional<QByteArray> payload = payloadOf(*fetched.record);
    if (payload && !isFirstContact(*payload) && !replacesUntouchedProfiles(*fetched.record)) {
        // What changed elsewhere is merged, and what is left goes up then.
        const std::optional<QDateTime> remote = countedRemoteDate(*fetched.record);
        cloud::Record held = *fetched.record;
        held.removeValue(payloadKey);
        letGo(fetched.record);
        co_await reconcile(std::move(held), *payload, remote, false, conflicts);
        co_return;
    }
    // A first contact, or profiles nobody changed here, take the record; an empty one is uploaded over.
    if (payload)
        applyRemoteRecord(*fetched.record, false);
    // Not held through the upload that follows.
    letGo(fetched.record);
    if (!payload)
        co_await upload(conflicts);
}

bool CloudKitProfileSync::replacesUntouchedProfiles(const cloud::Record& record) const
{
    if (!profileStore_->holdsUntouchedProfiles())
        return false;
    const std::optional<QByteArray> payload = payloadOf(record);
    return payload && *payload != profileStore_->makeSyncPayload();
}

void CloudKitProfileSync::syncCustomIcons()
{
    if (account_)
        iconSync_->setAccount(*account_);
    launch(iconSync_->requestSync(profileStore_->referencedCustomIconNames()));
}

void CloudKitProfileSync::stopIconPasses() { iconSync_->stop(); }

void CloudKitProfileSync::uploadAtQuit()
{
    const bool waiting = pendingUpload_.isPending();
    if (!hasStarted_ || !hasCompletedInitialSync_ || (!waiting && !uploadOwed_))
        return;
    pendingUpload_.cancel();
    if (waiting)
        rememberLeftDocument();
    // Launched at once, not through a later turn or the delay, which would find the sync gone;
    // a record changed meanwhile is merged by the upload's own conflict handling.
    launch(uploadProfiles());
}

void CloudKitProfileSync::syncIconsOnce()
{
    // Whatever the profiles did; a first contact's take brings the account's icons first.
    if (hasCompletedInitialSync_ && hasSynced_ && !isTaking_)
        syncCustomIcons();
}

// --- Download

QCoro::Task<bool> CloudKitProfileSync::ensureAccountAvailable()
{
    // Nothing taken could be saved and nothing sent could be remembered: the sync waits
    // for a data folder it can write (the store told the user once).
    if (const std::optional<QString> cause = profileStore_->unwritableDataFolder()) {
        if (!std::exchange(hasLoggedUnwritable_, true))
            log(QStringLiteral("paused while the data folder cannot be written (%1).").arg(*cause));
        co_return false;
    }
    hasLoggedUnwritable_ = false;
    cloud::AccountStatus status = cloud::AccountStatus::couldNotDetermine;
    try {
        status = co_await cloudkit::fetchAccountStatus(container_);
    } catch (const cloud::Error& error) {
        report(errorTitle, error.localizedDescription());
        co_return false;
    }
    if (status == cloud::AccountStatus::available) {
        hasLoggedNoAccount_ = false;
        const bool holdsDatabase = co_await emptyFolderGuard_.allowsSync(hasSynced_);
        co_return holdsDatabase;
    }
    if (!hasLoggedNoAccount_) {
        hasLoggedNoAccount_ = true;
        report(syncTitle, QStringLiteral("iCloud is not signed in. Sync is paused."));
    }
    co_return false;
}

QCoro::Task<> CloudKitProfileSync::performInitialSync()
{
    isRunningInitialSync_ = true;
    const auto ended = qScopeGuard([this] { isRunningInitialSync_ = false; });

    const bool available = co_await ensureAccountAvailable();
    if (!available)
        co_return;
    co_await checkAccount();
    co_await keepForLocalRestore();
    bool fetched = true;
    std::optional<cloud::Record> record;
    try {
        record = co_await cloudkit::fetchRecord(database_, cloudkit::profilesRecordName);
    } catch (const cloud::Error& error) {
        report(errorTitle, error.localizedDescription());
        fetched = false;
    }
    if (fetched && record) {
        cacheRecord(record);
        if (adoptPutBackAlone(*record))
            co_await keepForLocalRestore();
        if (!goesOverWithLocalRestore(*record))
            applyRemoteRecord(*record, true);
        letGo(record);
    } else if (fetched) {
        // Nothing there to restore over: the profiles go up as they are, and are this computer's own.
        if (std::exchange(putBackAlone_, false))
            rememberLeftDocument();
        pendingUploadAfterInitialSync_ = true;
    }
    hasCompletedInitialSync_ = true;
    if (pendingUploadAfterInitialSync_) {
        pendingUploadAfterInitialSync_ = false;
        scheduleUpload();
    }
}

QCoro::Task<> CloudKitProfileSync::syncNow()
{
    // The profiles waiting in memory are this machine's, weighed once they are on disk;
    // a save that fails again is told by the store, and what follows keeps them.
    if (std::exchange(retrySave_, false) && profileStore_->hasUnsavedChanges()) {
        SaveOutcome retried;
        profileStore_->retryFailedSave(retried.handler());
        co_await retried;
    }
    // The account was unavailable when the sync started: decide between local and
    // remote now, so that uploads resume.
    if (!hasCompletedInitialSync_ && !isRunningInitialSync_) {
        co_await runStart();
        co_return;
    }
    const bool available = co_await ensureAccountAvailable();
    if (!available)
        co_return;
    const bool otherAccount = co_await checkAccount();
    if (otherAccount) {
        co_await runStart();
        co_return;
    }
    Fetched fetched = co_await fetchProfilesRecord();
    if (fetched.record)
        applyRemoteRecord(*fetched.record, false);
    else if (!fetched.failed && uploadOwed_)
        scheduleUpload(); // an empty cloud still gets the upload that failed
    letGo(fetched.record);
    syncIconsOnce();
}

void CloudKitProfileSync::applyRemoteRecord(const cloud::Record& record, bool isInitialSync)
{
    const std::optional<QByteArray> payload = payloadOf(record);
    // A first contact's take under way decides; the record is seen again after it.
    if (!payload || isTaking_ || goesOverWithLocalRestore(record))
        return;
    // Refused and told already: this computer's profiles still go over it.
    if (wasRefused(record)) {
        if (uploadsOverRefused()) {
            uploadOwed_ = true;
            uploadOver(record);
        }
        return;
    }
    const std::optional<QDateTime> remote = countedRemoteDate(record);
    if (isFirstContact(*payload)) {
        takeAtFirstContact(*payload, remote, record);
        return;
    }
    // Profiles nobody changed here never go over profiles from elsewhere, whatever the
    // record's date: another machine's built-in ones at the same date, or none at all.
    if (replacesUntouchedProfiles(record)) {
        launchApply(*payload, remote, std::nullopt, record);
        return;
    }
    // The record holding this very document needs no comparing; the dates say the rest.
    // Any other is weighed against the base, or merged two ways without one.
    if (!profileStore_->holdsDocument(*payload)) {
        cloud::Record held = record;
        held.removeValue(payloadKey);
        launch(reconcile(std::move(held), *payload, remote, isInitialSync));
        return;
    }
    applyByDates(record, *payload, remote, isInitialSync);
}

void CloudKitProfileSync::applyByDates(const cloud::Record& record, const QByteArray& payload,
                                       const std::optional<QDateTime>& remote, bool isInitialSync)
{
    const std::optional<QDateTime> local = localDate();
    // The record may hold this very document: the base from now on, nothing to decode, nor to send back.
    const bool holdsDocument = profileStore_->holdsDocument(payload);
    if (holdsDocument)
        rememberBase(record, payload);
    if (remote && local) {
        const bool sameDocument = *remote >= *local && holdsDocument;
        if (*remote > *local && sameDocument)
            takeDateOf(*remote);
        else if (*remote > *local)
            launchApply(payload, remote, std::nullopt, record);
        else if (isInitialSync && sameDocument && record.date(updatedAtKey) == *local &&
                 record.integer(schemaVersionKey) == schemaVersion)
            syncCustomIcons(); // sending it again would only wake the other machines
        else if (isInitialSync || (uploadOwed_ && *local > *remote))
            uploadOver(record);
        return;
    }
    if (isInitialSync)
        uploadOver(record);
    else
        launchApply(payload, remote, std::nullopt, record);
}

void CloudKitProfileSync::uploadOver(const cloud::Record& record)
{
    // The dates let this data go over that record, seen and weighed.
    if (base_.isFor(account_))
        base_.restamp(recordLineage::stampOver(*base_.stamp(), record));
    scheduleUpload();
}

void CloudKitProfileSync::applyRemotePayload(const QByteArray& payload, const std::optional<QDateTime>& changedAt,
                                             const QStringList& keptFiles)
{
    launchApply(payload, changedAt,
                keptFiles.isEmpty() ? std::nullopt : std::optional(FirstContact{keptFiles, {}}));
}

void CloudKitProfileSync::launchApply(const QByteArray& payload, const std::optional<QDateTime>& changedAt,
                                      std::optional<FirstContact> firstContact, std::optional<cloud::Record> record)
{
    if (payload.isEmpty() || keepsUnsavedEdits())
        return;
    if (firstContact)
        isTaking_ = true;
    if (record)
        record->removeValue(payloadKey);
    launch(applyDecodedPayload(payload, changedAt, std::move(firstContact), std::move(record)));
}

void CloudKitProfileSync::endTake(bool saveFailed)
{
    isTaking_ = false;
    if (std::exchange(uploadAfterTake_, false) && !saveFailed)
        scheduleUpload();
}

void CloudKitProfileSync::takeDateOf(const QDateTime& changedAt)
{
    if (keepsUnsavedEdits())
        return;
    isApplyingRemote_ = true;
    const auto taken = qScopeGuard([this] { isApplyingRemote_ = false; });
    profileStore_->dateAs(changedAt);
    // As after a payload taken: nothing of this data is owed to the cloud.
    pendingUpload_.cancel();
    pendingUploadAfterInitialSync_ = false;
    uploadOwed_ = false;
    rememberSync();
    syncCustomIcons();
}

bool CloudKitProfileSync::keepsUnsavedEdits() const
{
    // Edits that only live in memory would be lost without a trace; the next save
    // that works uploads them, and the record is weighed against them then.
    if (!profileStore_->hasUnsavedChanges())
        return false;
    report(syncTitle, QStringLiteral("The profiles from iCloud were not applied because your latest changes could "
                                     "not be saved on this computer. Sync resumes after the next successful save."));
    return true;
}

QCoro::Task<> CloudKitProfileSync::applyDecodedPayload(QByteArray payload, std::optional<QDateTime> changedAt,
                                                       std::optional<FirstContact> firstContact,
                                                       std::optional<cloud::Record> record,
                                                       std::optional<SyncBase::Stamp> olderThan)
{
    bool saveFailed = false;
    const auto ended = qScopeGuard([this, &firstContact, &saveFailed] {
        if (firstContact)
            endTake(saveFailed);
    });
    LoadResult before = profileStore_->snapshot();
    // The record's document, the base once taken; its pages go with the base's write.
    QByteArray document = record ? payload : QByteArray();
    QCoro::Task<std::optional<RemotePayloadDecoder::Decoded>> decoding =
        decoder_.decode(std::move(payload), maxDocumentBytes(), before.removedBuiltIns);
    std::optional<RemotePayloadDecoder::Decoded> taking = co_await std::move(decoding);
    std::optional<RepairedDocument> decoded;
    // Either may be the last hold of a whole document once the store took the payload.
    const auto released = qScopeGuard([this, &before, &decoded] {
        decoder_.release(std::move(before));
        if (decoded) {
            decoder_.release(LoadResult(decoded->document()));
            decoded.reset();
        }
    });
    const bool readable = taking && taking->profiles;
    // A record that cannot be read, or not written back, never stops this computer's uploads.
    if (record && (!readable || taking->writtenBytes > maxDocumentBytes())) {
        QCoro::Task<> refusing = refuse(std::move(*record), std::move(document),
                                        readable ? Refusal::tooLarge : Refusal::unreadable,
                                        readable ? taking->writtenBytes : 0);
        co_await std::move(refusing);
        co_return;
    }
    if (!readable) {
        report(errorTitle, describe(ProfileStoreError::invalidPayload()));
        co_return;
    }
    decoded = std::move(taking->profiles);
    taking.reset();
    // Edited meanwhile: the edit is newer than what the dates were compared with.
    if (!(profileStore_->snapshot() == before) || keepsUnsavedEdits())
        co_return;
    // A record older than the last synced state takes nothing unseen: what it replaces is kept first.
    QString olderText;
    if (olderThan) {
        QCoro::Task<std::optional<QString>> keeping = keepReplacedByOlder(before, decoded->document(), *olderThan, changedAt);
        const std::optional<QString> kept = co_await std::move(keeping);
        if (!kept || !(profileStore_->snapshot() == before) || keepsUnsavedEdits())
            co_return;
        olderText = *kept;
    }
    SaveOutcome outcome;
    {
        isApplyingRemote_ = true;
        const auto applied = qScopeGuard([this] { isApplyingRemote_ = false; });
        profileStore_->applySyncPayload(*decoded, changedAt, outcome.handler());
        // Uploads asked for before the payload would send it straight back.
        pendingUpload_.cancel();
        pendingUploadAfterInitialSync_ = false;
        uploadOwed_ = false;
        if (!firstContact) {
            rememberSync();
            syncCustomIcons();
        }
    }
    // The notice tells what the user has afterwards, the store's repairs included.
    LoadResult after = profileStore_->snapshot();
    // Behind this machine, and its base, only once the taken profiles are on disk.
    const SaveOutcome::Saved saved = co_await outcome;
    if (saved.saved && record)
        rememberTaken(*record, std::move(document), saved.document, !firstContact);
    if (firstContact) {
        if (!saved.saved) {
            saveFailed = true;
            QString text = QStringLiteral("The profiles in iCloud were not taken: they could not be saved on this "
                                          "computer, and nothing is sent to iCloud until they are. The next save "
                                          "that works, or the next start, takes them.");
            const QString dataFolder = QFileInfo(profileStore_->fileURL()).absolutePath();
            if (!firstContact->keptFiles.isEmpty())
                text += u' ' + keptProfilesText(dataFolder, firstContact->keptFiles);
            report(errorTitle, text);
            logKeptFiles(dataFolder, firstContact->keptFiles);
            co_return;
        }
        co_await completeFirstContact(std::move(*firstContact), before, std::move(after));
        co_return;
    }
    // Named, not a temporary: a coroutine argument made in the await is destroyed twice by g++ 12.
    std::optional<SyncChangeSummary::Notice> summary = co_await decoder_.summarize(before, std::move(after));
    if (!olderText.isEmpty())
        report(warningTitle, olderText);
    tellChange(std::move(summary), before, olderText);
}

QCoro::Task<> CloudKitProfileSync::completeFirstContact(FirstContact firstContact, LoadResult before, LoadResult after)
{
    rememberSync();
    QStringList icons = firstContact.localIcons + profileStore_->referencedCustomIconNames();
    if (account_)
        iconSync_->setAccount(*account_);
    const QStringList keptIcons = co_await iconSync_->takeIcons(std::move(icons));
    syncCustomIcons();

    QStringList parts;
    const QString dataFolder = QFileInfo(profileStore_->fileURL()).absolutePath();
    if (!firstContact.keptFiles.isEmpty())
        parts << keptProfilesText(dataFolder, firstContact.keptFiles);
    if (!keptIcons.isEmpty())
        parts << keptIconsText(iconsDirectory_, keptIcons);
    QString kept;
    if (!parts.isEmpty()) {
        parts.prepend(QStringLiteral("This computer took the profiles in iCloud at its first sync."));
        kept = parts.join(u' ');
        report(warningTitle, kept);
        logKeptLines(synctext::keptFileLines(dataFolder, firstContact.keptFiles)
                     + synctext::keptFileLines(iconsDirectory_, keptIcons));
    }
    std::optional<SyncChangeSummary::Notice> summary = co_await decoder_.summarize(before, std::move(after));
    tellChange(std::move(summary), std::move(before), kept);
}

void CloudKitProfileSync::postChangeNotification(const QString& title, const QString& body)
{
    Notifier::instance().add({QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(), title, body, {}});
}

// --- Commands and pushes

void CloudKitProfileSync::requestSyncNow()
{
    postToMain([weak = weak_from_this()] {
        if (const auto self = weak.lock()) {
            self->retrySave_ = true;
            self->container_->checkForChanges();
            self->queueSync();
        }
    });
}

void CloudKitProfileSync::queueSync()
{
    switch (queuedSync_) {
    case QueuedSync::none:
        queuedSync_ = QueuedSync::scheduled;
        launchLater([](CloudKitProfileSync& self) { return self.runQueuedSyncs(); });
        return;
    case QueuedSync::running:
        queuedSync_ = QueuedSync::runningWithOneWaiting;
        return;
    case QueuedSync::scheduled: // it will see whatever this request is about
    case QueuedSync::runningWithOneWaiting:
        return;
    }
}

QCoro::Task<> CloudKitProfileSync::runQueuedSyncs()
{
    do {
        queuedSync_ = QueuedSync::running;
        co_await syncNow();
    } while (queuedSync_ == QueuedSync::runningWithOneWaiting);
    queuedSync_ = QueuedSync::none;
}

void CloudKitProfileSync::handleRemoteNotification(const QVariantMap& dictionary)
{
    const std::optional<cloud::Notification> notification = cloud::Notification::fromRemoteNotificationDictionary(dictionary);
    if (!notification)
        return;
    using Type = cloud::Notification::Type;
    switch (notification->type) {
    case Type::query:
    case Type::recordZone:
    case Type::database:
        queueSync();
        return;
    case Type::readNotification:
        return;
    }
    // Types this build does not know start nothing.
}

void CloudKitProfileSync::requestSubscriptionReset() { launch(resetSubscriptions()); }

// --- Subscriptions

QCoro::Task<> CloudKitProfileSync::cleanUpSubscriptions() { co_await subscriptions_.cleanUp(); }

QCoro::Task<> CloudKitProfileSync::ensureDatabaseSubscription() { co_await subscriptions_.ensureDatabaseSubscription(); }

QCoro::Task<> CloudKitProfileSync::ensureQuerySubscription() { co_await subscriptions_.ensureQuerySubscription(); }

QCoro::Task<> CloudKitProfileSync::resetSubscriptions()
{
    // Never into an empty folder where the database was; a missing account is the saves' to report.
    const bool allowed = co_await emptyFolderGuard_.allowsSync(hasSynced_);
    if (allowed)
        co_await subscriptions_.reset();
}

} // namespace velmor
