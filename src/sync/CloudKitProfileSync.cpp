#include "sync/CloudKitProfileSync.h"

#include "model/CustomIconLibrary.h"
#include "platform/cloud/Notification.h"
#include "platform/notifications/Notifier.h"
#include "store/ProfileStore.h"
#include "store/ProfileStoreError.h"
#include "sync/CloudKitCalls.h"
#include "sync/CloudKitIconSync.h"

#include <QScopeGuard>
#include <QUuid>

namespace velmor {

namespace {

const QString syncTitle = QStringLiteral("Cloud Sync");
const QString errorTitle = QStringLiteral("Cloud Sync Error");
const QString payloadKey = QStringLiteral("payload");
const QString updatedAtKey = QStringLiteral("updatedAt");
const QString schemaVersionKey = QStringLiteral("schemaVersion");

QString describe(const std::exception& error)
{
    if (const auto* cloudError = dynamic_cast<const cloud::Error*>(&error))
        return cloudError->localizedDescription();
    return QString::fromUtf8(error.what());
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
      clock_(std::move(clock))
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
    if (!available)
        co_return;

    bool conflicted = false;
    try {
        const QByteArray payload = profileStore_->makeSyncPayload();
        cloud::Record record = cachedRecord_.value_or(cloud::Record(cloudkit::profilesRecordType, cloudkit::profilesRecordName));
        record.setValue(payloadKey, payload);
        // The time of the change the payload holds, so that between machines the later change wins.
        record.setValue(updatedAtKey, profileStore_->lastModifiedDate().value_or(clock_()));
        record.setValue(schemaVersionKey, schemaVersion);
        cachedRecord_ = co_await cloudkit::saveRecord(database_, std::move(record));
    } catch (const cloud::Error& error) {
        if (error.code() != cloud::Error::Code::serverRecordChanged) {
            report(errorTitle, error.localizedDescription());
            co_return;
        }
        conflicted = true;
    } catch (const std::exception& error) {
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
// none when it is missing or could not be fetched (reported).
QCoro::Task<std::optional<cloud::Record>> CloudKitProfileSync::fetchProfilesRecord()
{
    try {
        std::optional<cloud::Record> record = co_await cloudkit::fetchRecord(database_, cloudkit::profilesRecordName);
        if (record)
            cachedRecord_ = record;
        co_return record;
    } catch (const cloud::Error& error) {
        report(errorTitle, error.localizedDescription());
    }
    co_return std::nullopt;
}

QCoro::Task<> CloudKitProfileSync::resolveSaveConflict() { co_await resolveConflict(1); }

QCoro::Task<> CloudKitProfileSync::resolveConflict(int conflicts)
{
    // Another machine keeps writing: leave it to the next save or "Sync Now".
    if (conflicts > maxConflictRetries) {
        report(errorTitle, QStringLiteral("The profiles record in iCloud kept changing during the upload, so the "
                                          "upload was stopped. The next change or Sync Now tries again."));
        co_return;
    }
    const std::optional<cloud::Record> record = co_await fetchProfilesRecord();
    if (!record)
        co_return;
    const std::optional<QDateTime> remote = remoteDate(*record);
    const std::optional<QDateTime> local = profileStore_->lastModifiedDate();
    if ((remote && local && *remote > *local) || replacesUntouchedProfiles(*record))
        applyRemoteRecord(*record, false);
    else
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
    bool fetched = true;
    std::optional<cloud::Record> record;
    try {
        record = co_await cloudkit::fetchRecord(database_, cloudkit::profilesRecordName);
    } catch (const cloud::Error& error) {
        report(errorTitle, error.localizedDescription());
        fetched = false;
    }
    if (fetched && record) {
        cachedRecord_ = record;
        applyRemoteRecord(*record, true);
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
    const std::optional<cloud::Record> record = co_await fetchProfilesRecord();
    if (!record)
        co_return;
    applyRemoteRecord(*record, false);
}

void CloudKitProfileSync::applyRemoteRecord(const cloud::Record& record, bool isInitialSync)
{
    const std::optional<QByteArray> payload = record.bytes(payloadKey);
    if (!payload)
        return;
    const std::optional<QDateTime> remote = remoteDate(record);
    const std::optional<QDateTime> local = profileStore_->lastModifiedDate();
    // Profiles nobody changed here never go over profiles from elsewhere, whatever the
    // record's date: another machine's built-in ones at the same date, or none at all.
    if (replacesUntouchedProfiles(record)) {
        applyRemotePayload(*payload, remote);
        return;
    }
    if (remote && local) {
        if (*remote > *local)
            applyRemotePayload(*payload, remote);
        else if (isInitialSync)
            scheduleUpload();
        return;
    }
    if (isInitialSync)
        scheduleUpload();
    else
        applyRemotePayload(*payload, remote);
}

void CloudKitProfileSync::applyRemotePayload(const QByteArray& payload, const std::optional<QDateTime>& changedAt)
{
    if (payload.isEmpty() || keepsUnsavedEdits())
        return;
    launch(applyDecodedPayload(payload, changedAt));
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

QCoro::Task<> CloudKitProfileSync::applyDecodedPayload(QByteArray payload, std::optional<QDateTime> changedAt)
{
    // Summarised against the profiles as they are before the store takes the payload.
    const ProfileStore& store = *profileStore_;
    const auto now = [&store] {
        return LoadResult{store.pacsProfiles().get(), store.userProfiles().get(), store.activePacsProfileId().get(),
                          store.activeUserProfileId().get(), false};
    };
    const LoadResult before = now();
    const std::optional<RemotePayloadDecoder::Decoded> decoded = co_await decoder_.decode(payload, before);
    if (!decoded) {
        report(errorTitle, describe(ProfileStoreError::invalidPayload()));
        co_return;
    }
    // Edited meanwhile: the edit is newer than what the dates were compared with.
    if (!(now() == before) || keepsUnsavedEdits())
        co_return;
    isApplyingRemote_ = true;
    const auto applied = qScopeGuard([this] { isApplyingRemote_ = false; });
    profileStore_->applySyncPayload(decoded->result, changedAt);
    // Uploads asked for before the payload would send it straight back.
    pendingUpload_.cancel();
    pendingUploadAfterInitialSync_ = false;
    syncCustomIcons();
    if (decoded->summary)
        postChangeNotification(decoded->summary->title, decoded->summary->body);
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
