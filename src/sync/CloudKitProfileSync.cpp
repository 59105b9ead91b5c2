#include "sync/CloudKitProfileSync.h"

#include "model/CustomIconLibrary.h"
#include "platform/cloud/Notification.h"
#include "platform/notifications/Notifier.h"
#include "store/ProfileStore.h"
#include "store/ProfileStoreError.h"
#include "sync/CloudKitCalls.h"
#include "sync/CloudKitIconSync.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QUuid>

namespace velmor {

namespace {

const QString syncTitle = QStringLiteral("Cloud Sync");
const QString errorTitle = QStringLiteral("Cloud Sync Error");
const QString warningTitle = QStringLiteral("Cloud Sync Warning");
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
QString keptText(const QString& folder, const QStringList& files)
{
    QStringList quoted;
    bool pacs = false;
    for (const QString& file : files) {
        quoted.append(u'“' + file + u'”');
        pacs = pacs || file.contains(QStringLiteral("(PACS profile)"));
    }
    return QStringLiteral("This computer took the profiles in iCloud at its first sync. The profiles made here "
                          "before are kept in “%1”: %2. Import them with “Import User Profile…”%3.")
        .arg(QDir::toNativeSeparators(folder), quoted.join(QStringLiteral(", ")),
             pacs ? QStringLiteral(" and “Import PACS Profile…”") : QString());
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
      iconSync_(std::make_unique<CloudKitIconSync>(*database_, customIconsDirectory())),
      subscriptions_(database_, [this](const QString& title, const QString& message) { report(title, message); }),
      clock_(std::move(clock)),
      memory_(QFileInfo(profileStore_->fileURL()).absolutePath())
{
    iconSync_->setRefusalHandler([this](const QString& description) { report(errorTitle, description); });
}

CloudKitProfileSync::~CloudKitProfileSync() = default;

void CloudKitProfileSync::start()
{
    if (hasStarted_)
        return;
    hasStarted_ = true;
    profileStore_->onSave = [weak = weak_from_this()] {
        if (const auto self = weak.lock())
            self->scheduleUpload();
    };
    // A folder that takes writes again: what waits for it goes up now, not at the next edit.
    container_->setWritableAgainHandler([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (self && (self->uploadOwed_ || !self->hasCompletedInitialSync_))
            self->launchLater([](CloudKitProfileSync& sync) { return sync.syncNow(); });
    });
    launchLater([](CloudKitProfileSync& self) { return self.runStart(); });
}

QCoro::Task<> CloudKitProfileSync::runStart()
{
    co_await performInitialSync();
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

QCoro::Task<> CloudKitProfileSync::learnAccount()
{
    if (account_)
        co_return;
    try {
        account_ = co_await cloudkit::fetchUserRecordID(container_);
    } catch (const cloud::Error&) {
        // Unknown for now: the sync goes on as with an account never synced with.
        co_return;
    }
    if (memory_.hasSyncedWith(*account_))
        hasSynced_ = true;
    else if (hasSynced_)
        memory_.rememberSyncWith(*account_);
}

void CloudKitProfileSync::rememberSync()
{
    hasSynced_ = true;
    if (account_)
        memory_.rememberSyncWith(*account_);
}

bool CloudKitProfileSync::isFirstContact(const QByteArray& payload)
{
    if (hasSynced_)
        return false;
    // Profiles in common came from that record or went into it: this data synced
    // with the account before the memory of it was kept.
    if (profileStore_->sharesProfilesWith(payload)) {
        rememberSync();
        return false;
    }
    return true;
}

void CloudKitProfileSync::takeAtFirstContact(const QByteArray& payload, const std::optional<QDateTime>& remote)
{
    if (profileStore_->hasUnsavedChanges()) {
        applyRemotePayload(payload, remote); // tells the user why nothing was taken
        return;
    }
    QStringList kept;
    try {
        kept = profileStore_->keepProfilesMissingFrom(payload);
    } catch (const std::exception& error) {
        report(errorTitle, QStringLiteral("The profiles in iCloud were not taken, and nothing is uploaded over them, "
                                          "because the profiles made on this computer could not be kept: ") +
                               describe(error));
        return;
    }
    applyRemotePayload(payload, remote, kept);
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
    pendingUpload_ = afterOnMain(uploadDelay, [weak = weak_from_this()] {
        if (const auto self = weak.lock())
            self->launch(self->uploadProfiles());
    });
}

QCoro::Task<> CloudKitProfileSync::uploadProfiles() { co_await upload(0); }

QCoro::Task<> CloudKitProfileSync::upload(int conflicts)
{
    if (isApplyingRemote_)
        co_return;
    const bool available = co_await ensureAccountAvailable();
    if (!available) {
        uploadOwed_ = true;
        co_return;
    }
    if (!hasSynced_)
        co_await learnAccount();
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
        cloud::Record record = cachedRecord_.value_or(cloud::Record(cloudkit::profilesRecordType, cloudkit::profilesRecordName));
        record.setValue(payloadKey, payload);
        // The time of the change the payload holds, so that between machines the later change wins.
        record.setValue(updatedAtKey, localDate().value_or(clock_()));
        record.setValue(schemaVersionKey, schemaVersion);
        cloud::Record saved = co_await cloudkit::saveRecord(database_, std::move(record));
        cacheRecord(std::move(saved));
        uploadOwed_ = false;
        rememberSync();
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
    const std::optional<QByteArray> payload = record.bytes(payloadKey);
    if (!payload || !isFirstContact(*payload))
        return false;
    takeAtFirstContact(*payload, countedRemoteDate(record));
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
    bool takesRecord = false;
    {
        const cloud::Record& record = *fetched.record;
        const std::optional<QByteArray> payload = record.bytes(payloadKey);
        const std::optional<QDateTime> remote = countedRemoteDate(record);
        const std::optional<QDateTime> local = localDate();
        takesRecord = (payload && isFirstContact(*payload)) || (remote && local && *remote > *local) ||
                      replacesUntouchedProfiles(record);
        if (takesRecord)
            applyRemoteRecord(record, false);
    }
    // Not held through the upload that follows.
    letGo(fetched.record);
    if (!takesRecord)
        co_await upload(conflicts);
}

bool CloudKitProfileSync::replacesUntouchedProfiles(const cloud::Record& record) const
{
    if (!profileStore_->holdsUntouchedProfiles())
        return false;
    const std::optional<QByteArray> payload = record.bytes(payloadKey);
    return payload && !payload->isEmpty() && *payload != profileStore_->makeSyncPayload();
}

void CloudKitProfileSync::syncCustomIcons()
{
    const QStringList names = profileStore_->referencedCustomIconNames();
    if (names.isEmpty())
        return;
    launch(iconSync_->syncIcons(names));
}

// --- Download

QCoro::Task<bool> CloudKitProfileSync::ensureAccountAvailable()
{
    cloud::AccountStatus status = cloud::AccountStatus::couldNotDetermine;
    try {
        status = co_await cloudkit::fetchAccountStatus(container_);
    } catch (const cloud::Error& error) {
        report(errorTitle, error.localizedDescription());
        co_return false;
    }
    if (status == cloud::AccountStatus::available) {
        hasLoggedNoAccount_ = false;
        co_return true;
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
    co_await learnAccount();
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
        applyRemoteRecord(*record, true);
        letGo(record);
    } else if (fetched) {
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
    // The account was unavailable when the sync started: decide between local and
    // remote now, so that uploads resume.
    if (!hasCompletedInitialSync_ && !isRunningInitialSync_) {
        co_await runStart();
        co_return;
    }
    const bool available = co_await ensureAccountAvailable();
    if (!available)
        co_return;
    co_await learnAccount();
    Fetched fetched = co_await fetchProfilesRecord();
    if (fetched.record)
        applyRemoteRecord(*fetched.record, false);
    else if (!fetched.failed && uploadOwed_)
        scheduleUpload(); // an empty cloud still gets the upload that failed
    letGo(fetched.record);
}

void CloudKitProfileSync::applyRemoteRecord(const cloud::Record& record, bool isInitialSync)
{
    const std::optional<QByteArray> payload = record.bytes(payloadKey);
    if (!payload)
        return;
    const std::optional<QDateTime> remote = countedRemoteDate(record);
    if (isFirstContact(*payload)) {
        takeAtFirstContact(*payload, remote);
        return;
    }
    const std::optional<QDateTime> local = localDate();
    // Profiles nobody changed here never go over profiles from elsewhere, whatever the
    // record's date: another machine's built-in ones at the same date, or none at all.
    if (replacesUntouchedProfiles(record)) {
        applyRemotePayload(*payload, remote);
        return;
    }
    if (remote && local) {
        // The record may hold this very document: nothing to decode, nor to send back.
        const bool sameDocument = *remote >= *local && profileStore_->holdsDocument(*payload);
        if (*remote > *local && sameDocument)
            takeDateOf(*remote);
        else if (*remote > *local)
            applyRemotePayload(*payload, remote);
        else if (isInitialSync && sameDocument && record.date(updatedAtKey) == *local &&
                 record.integer(schemaVersionKey) == schemaVersion)
            syncCustomIcons(); // sending it again would only wake the other machines
        else if (isInitialSync || (uploadOwed_ && *local > *remote))
            scheduleUpload();
        return;
    }
    if (isInitialSync)
        scheduleUpload();
    else
        applyRemotePayload(*payload, remote);
}

void CloudKitProfileSync::applyRemotePayload(const QByteArray& payload, const std::optional<QDateTime>& changedAt,
                                             const QStringList& keptFiles)
{
    if (payload.isEmpty() || keepsUnsavedEdits())
        return;
    launch(applyDecodedPayload(payload, changedAt, keptFiles));
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
    // that works uploads them, and the dates decide then.
    if (!profileStore_->hasUnsavedChanges())
        return false;
    report(syncTitle, QStringLiteral("The profiles from iCloud were not applied because your latest changes could "
                                     "not be saved on this computer. Sync resumes after the next successful save."));
    return true;
}

QCoro::Task<> CloudKitProfileSync::applyDecodedPayload(QByteArray payload, std::optional<QDateTime> changedAt,
                                                       QStringList keptFiles)
{
    const LoadResult before = profileStore_->snapshot();
    const std::optional<LoadResult> decoded = co_await decoder_.decode(std::move(payload));
    if (!decoded) {
        report(errorTitle, describe(ProfileStoreError::invalidPayload()));
        co_return;
    }
    // Edited meanwhile: the edit is newer than what the dates were compared with.
    if (!(profileStore_->snapshot() == before) || keepsUnsavedEdits())
        co_return;
    {
        isApplyingRemote_ = true;
        const auto applied = qScopeGuard([this] { isApplyingRemote_ = false; });
        profileStore_->applySyncPayload(*decoded, changedAt);
        // Uploads asked for before the payload would send it straight back.
        pendingUpload_.cancel();
        pendingUploadAfterInitialSync_ = false;
        uploadOwed_ = false;
        rememberSync();
        syncCustomIcons();
    }
    QString kept;
    if (!keptFiles.isEmpty()) {
        kept = keptText(QFileInfo(profileStore_->fileURL()).absolutePath(), keptFiles);
        report(warningTitle, kept);
    }
    // The notice tells what the user has afterwards, the store's repairs included.
    // Named, not a temporary: a coroutine argument made in the await is destroyed twice by g++ 12.
    LoadResult after = profileStore_->snapshot();
    std::optional<SyncChangeSummary::Notice> summary = co_await decoder_.summarize(before, std::move(after));
    if (!kept.isEmpty())
        summary = summary ? SyncChangeSummary::Notice{summary->title, summary->body + QStringLiteral("; ") + kept}
                          : SyncChangeSummary::Notice{QStringLiteral("Velmor profiles updated"), kept};
    if (summary)
        postChangeNotification(summary->title, summary->body);
}

void CloudKitProfileSync::postChangeNotification(const QString& title, const QString& body)
{
    Notifier::instance().add({QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(), title, body, {}});
}

// --- Commands and pushes

void CloudKitProfileSync::requestSyncNow()
{
    launchLater([](CloudKitProfileSync& self) {
        self.container_->checkForChanges();
        return self.syncNow();
    });
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
        launchLater([](CloudKitProfileSync& self) { return self.syncNow(); });
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

QCoro::Task<> CloudKitProfileSync::resetSubscriptions() { co_await subscriptions_.reset(); }

} // namespace velmor
