#include "model/CustomIconLibrary.h"
#include "platform/cloud/Notification.h"
#include "platform/cloud/memory/MemoryCloud.h"
#include "platform/notifications/RecordingNotifier.h"
#include "store/ProfileStore.h"
#include "support/TestSupport.h"
#include "sync/CloudKitCalls.h"
#include "sync/CloudKitProfileSync.h"

#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;
using Call = cloud::MemoryCloud::Call;
using Code = cloud::Error::Code;
using Type = cloud::Notification::Type;

namespace {

// A machine on a cloud account in memory, with recorded notifications, on virtual time.
// Its uploads are dated `clockTime`: a day ago unless a test says so, so that they
// never look newer than the local data.
class ProfileSync : public PlatformFixture {
protected:
    ProfileSync()
    {
        Notifier::setInstance(&notifier);
        store->onError = [this](const QString& title, const QString& text) { messages.append(title + ": " + text); };
        queue->runUntilIdle(); // the store's first save, before the sync starts
    }
    ~ProfileSync() override
    {
        queue->runUntilIdle();
        Notifier::setInstance(nullptr);
    }

    void start()
    {
        sync->start();
        queue->runUntilIdle();
    }
    // Started on an empty cloud, its first upload done.
    void synced()
    {
        start();
        queue->advance(2s);
        EXPECT_EQ(uploads(), 1);
        messages.clear();
    }
    void edit(const QString& name, std::chrono::milliseconds wait = 2s)
    {
        store->renameUserProfile(store->activeUserProfile().id, name);
        queue->advance(wait);
    }
    QString userName() const { return store->activeUserProfile().name; }
    QDateTime localDate() const { return store->lastModifiedDate().value(); }
    // The local document with the active user profile renamed.
    QByteArray payloadRenaming(const QString& name) const
    {
        const auto quoted = [](const QString& n) { return QString("\"name\": \"%1\"").arg(n).toUtf8(); };
        return store->makeSyncPayload().replace(quoted(userName()), quoted(name));
    }
    void putProfiles(const QByteArray& payload, const QDateTime& updatedAt)
    {
        cloud::Record record("VelmorProfiles", "profiles");
        record.setValue("payload", payload);
        record.setValue("updatedAt", updatedAt);
        cloud.putRecord(record);
    }
    QByteArray storedPayload() const { return cloud.storedRecord("profiles").value().bytes("payload").value_or(""); }
    int uploads() const { return cloud.callCount(Call::saveRecord); }
    static QVariantMap push(Type type)
    {
        cloud::Notification notification;
        notification.type = type;
        notification.containerIdentifier = "iCloud.Velmor";
        return notification.toRemoteNotificationDictionary();
    }

    // What every start runs after the initial sync, in its order; the reports it made.
    QStringList checks()
    {
        messages.clear();
        for (const auto step : {&CloudKitProfileSync::cleanUpSubscriptions,
                                &CloudKitProfileSync::ensureDatabaseSubscription,
                                &CloudKitProfileSync::ensureQuerySubscription}) {
            ((*sync).*step)();
            queue->runUntilIdle();
        }
        return messages;
    }
    static QStringList created(const char* database, const char* query)
    {
        return {QString("Cloud Sync: CloudKit database subscription ") + database,
                QString("Cloud Sync: CloudKit query subscription ") + query};
    }

    RecordingNotifier notifier;
    cloud::MemoryCloud cloud;
    std::shared_ptr<ProfileStore> store = std::make_shared<ProfileStore>();
    QDateTime clockTime = QDateTime::currentDateTimeUtc().addDays(-1);
    std::shared_ptr<CloudKitProfileSync> sync =
        CloudKitProfileSync::create(store, cloud.localClient(), [this] { return clockTime; });
    QStringList messages;
};

TEST_F(ProfileSync, UploadsWaitForTheInitialSyncAndAreDebounced)
{
    cloud.setHolding(true);
    start();
    edit("A");
    cloud.setHolding(false);
    cloud.releaseAll();
    queue->runUntilIdle();
    queue->advance(CloudKitProfileSync::uploadDelay - 1ms);
    EXPECT_EQ(uploads(), 0);
    queue->advance(1ms);
    const cloud::Record record = cloud.storedRecord("profiles").value();
    EXPECT_EQ(record.recordType(), "VelmorProfiles");
    EXPECT_EQ(record.bytes("payload"), store->makeSyncPayload());
    EXPECT_EQ(record.date("updatedAt"), clockTime);
    EXPECT_EQ(record.integer("schemaVersion"), 6);

    // Ten saves within half a second: one upload, a second after the last.
    for (int i = 0; i < 10; ++i)
        edit(QString::number(i), 50ms);
    queue->advance(CloudKitProfileSync::uploadDelay - 51ms);
    EXPECT_EQ(uploads(), 1);
    queue->advance(1ms);
    EXPECT_EQ(uploads(), 2);
    // A save that writes nothing asks for no upload; a second start does nothing.
    store->save();
    sync->start();
    queue->advance(5s);
    EXPECT_EQ(uploads(), 2);
}

TEST_F(ProfileSync, AnAccountLossIsReportedOnceAndAnAccountFoundLaterRunsTheStart)
{
    const QString paused = "Cloud Sync: iCloud is not signed in. Sync is paused.";
    cloud.setAccountStatus(cloud::AccountStatus::noAccount);
    start();
    edit("Offline edit");
    sync->requestSyncNow();
    queue->runUntilIdle();
    EXPECT_FALSE(cloud.storedRecord("profiles"));
    EXPECT_EQ(messages, QStringList{paused});

    // "Sync Now" decides between local and remote now, and the parked upload goes out.
    cloud.setAccountStatus(cloud::AccountStatus::available);
    sync->requestSyncNow();
    queue->advance(2s);
    EXPECT_EQ(cloud.storedSubscriptions().size(), 2);
    EXPECT_EQ(storedPayload(), store->makeSyncPayload());

    messages.clear();
    cloud.setAccountStatus(cloud::AccountStatus::restricted);
    edit("B");
    edit("C");
    // A failing status call is an error, not a loss.
    cloud.failNext(Call::accountStatus, cloud::Error(Code::serviceUnavailable));
    sync->handleRemoteNotification(push(Type::database));
    queue->runUntilIdle();
    EXPECT_EQ(messages, (QStringList{paused, "Cloud Sync Error: The cloud database is busy. Try again later."}));
    EXPECT_EQ(uploads(), 1);
}

TEST_F(ProfileSync, ARefusedSaveIsResolvedAgainstTheRecordAtMostThreeTimesInARow)
{
    synced();
    for (const int conflicts : {3, 4}) {
        const int saves = uploads();
        for (int i = 0; i < conflicts; ++i)
            cloud.failNext(Call::saveRecord, cloud::Error(Code::serverRecordChanged));
        edit(QString::number(conflicts));
        EXPECT_EQ(uploads() - saves, 4);
        EXPECT_EQ(storedPayload() == store->makeSyncPayload(), conflicts == 3);
    }
    // Other failures end the upload at once.
    cloud.failNext(Call::saveRecord, cloud::Error(Code::permissionFailure));
    cloud.failNext(Call::saveRecord, cloud::Error(Code::serverRecordChanged));
    cloud.failNext(Call::fetchRecord, cloud::Error(Code::serviceUnavailable));
    const int saves = uploads();
    edit("X");
    edit("Y");
    EXPECT_EQ(uploads() - saves, 2);
    EXPECT_EQ(messages, (QStringList{"Cloud Sync Error: The profiles record in iCloud kept changing during the upload, "
                                     "so the upload was stopped. The next change or Sync Now tries again.",
                                     "Cloud Sync Error: The cloud database could not be written.",
                                     "Cloud Sync Error: The cloud database is busy. Try again later."}));

    // Refused for an earlier record: uploaded on top of it.
    putProfiles(payloadRenaming("Earlier"), localDate().addSecs(-60));
    edit("Mine");
    EXPECT_EQ(storedPayload(), store->makeSyncPayload());
    // Refused for a later record: that one is taken instead.
    edit("Mine again", 0ms);
    putProfiles(payloadRenaming("Later"), localDate().addSecs(60));
    queue->advance(5s);
    EXPECT_EQ(userName(), "Later");
    EXPECT_EQ(uploads() - saves, 5);
}

// Seconds from the local date to the record's; whether the date is the server's
// modification date rather than "updatedAt"; whether the initial sync meets it.
class RemoteRecord : public ProfileSync, public ::testing::WithParamInterface<std::tuple<int, bool, bool>> {};

// The initial sync and "Sync Now" take the record only when it is strictly later; the
// initial sync uploads otherwise.
TEST_P(RemoteRecord, WinsOnlyWhenStrictlyLater)
{
    const auto [offset, asModificationDate, initial] = GetParam();
    if (!initial)
        synced();
    const QDateTime remote = localDate().addSecs(offset);
    cloud::Record record("VelmorProfiles", "profiles");
    record.setValue("payload", payloadRenaming("Remote"));
    if (!asModificationDate)
        record.setValue("updatedAt", remote);
    record.setServerMetadata({}, asModificationDate ? remote : remote.addDays(-2));
    cloud.putRecord(record);
    const int saves = uploads();
    initial ? start() : sync->requestSyncNow();
    queue->advance(2s);
    EXPECT_EQ(userName() == "Remote", offset > 0);
    EXPECT_EQ(uploads() - saves, initial && offset <= 0 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Dates, RemoteRecord,
                         ::testing::Combine(::testing::Values(-1, 0, 1), ::testing::Bool(), ::testing::Bool()));

TEST_F(ProfileSync, UndatedMissingEmptyAndUndecodablePayloads)
{
    synced();
    // Without a date the initial sync uploads, a later sync takes the payload.
    cloud::Record undated("VelmorProfiles", "profiles");
    undated.setValue("payload", payloadRenaming("Undated"));
    sync->applyRemoteRecord(undated, true);
    queue->advance(2s);
    EXPECT_EQ(uploads(), 2);
    sync->applyRemoteRecord(undated, false);
    EXPECT_EQ(userName(), "Undated");

    const QByteArray current = store->makeSyncPayload();
    sync->applyRemoteRecord(cloud::Record("VelmorProfiles", "profiles"), false);
    undated.setValue("payload", QByteArray());
    sync->applyRemoteRecord(undated, false);
    cloud.failNext(Call::fetchRecord, cloud::Error(Code::notAuthenticated));
    sync->requestSyncNow();
    // Fetched by the two pushes of record changes among them.
    putProfiles("{\"not\": \"profiles\"}", localDate().addSecs(60));
    for (const QVariantMap& dictionary : {push(Type::readNotification), push(static_cast<Type>(9)),
                                          QVariantMap{{"aps", 1}}, push(Type::recordZone), push(Type::query)})
        sync->handleRemoteNotification(dictionary);
    queue->advance(2s);
    EXPECT_EQ(store->makeSyncPayload(), current);
    const QString undecodable = "Cloud Sync Error: the sync payload is not a profiles document";
    EXPECT_EQ(messages, (QStringList{"Cloud Sync Error: No cloud account is available.", undecodable, undecodable}));
    EXPECT_EQ(notifier.requests.size(), 1); // the undated one only
    EXPECT_EQ(uploads(), 2);
}

// A taken payload is announced, brings the custom icons it uses, and is never
// uploaded back, whenever the store reports its save.
TEST_F(ProfileSync, ATakenPayloadIsAnnouncedBringsItsIconsAndIsNotUploadedBack)
{
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.iconSource = ToolIconSource::custom;
    tool.customIcon = "scan.svg";
    store->upsertTool(tool, store->activePacsProfile().id);
    synced();
    const QByteArray svg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 8 8"><rect width="8"/></svg>)";
    writeFile(supportPath("scan.svg"), svg);
    cloud::Record icon("VelmorIcon", "scan");
    icon.setValue("svgAsset", cloud::Asset{supportPath("scan.svg")});
    icon.setValue("pngAsset", cloud::Asset{supportPath("scan.svg")});
    cloud.putRecord(icon);

    // A save whose upload waits out the debounce, a later save whose callback is still
    // queued when the remote payload arrives, and an upload asked for while it is applied.
    store->renameUserProfile(store->activeUserProfile().id, "Waiting");
    queue->runUntilIdle();
    store->renameUserProfile(store->activeUserProfile().id, "Local");
    auto asking = store->userProfiles().subscribe([this](const auto&) {
        if (userName() == "Night Shift")
            sync->scheduleUpload();
    });
    sync->applyRemotePayload(payloadRenaming("Night Shift"));
    asking.reset();
    queue->advance(5s);
    EXPECT_EQ(userName(), "Night Shift");
    EXPECT_EQ(readFile(QDir(customIconsDirectory()).filePath("scan.svg")), svg);
    ASSERT_EQ(notifier.requests.size(), 1);
    EXPECT_EQ(notifier.requests[0].title, "Velmor profiles updated");
    EXPECT_EQ(notifier.requests[0].body, "User profiles updated: Night Shift");
    EXPECT_EQ(uploads(), 1);
}

using Subscription = cloud::Subscription;
using Info = cloud::NotificationInfo;

Subscription withInfo(Subscription subscription, std::optional<Info> info)
{
    subscription.notificationInfo = std::move(info);
    return subscription;
}

const QString databaseID = "VelmorProfiles.database.subscription";
const QString queryID = "VelmorProfiles.query.subscription";
const Info ours{true, "Velmor updated"};
QList<Subscription> required()
{
    return {CloudKitProfileSync::makeDatabaseSubscription(), CloudKitProfileSync::makeQuerySubscription()};
}

TEST_F(ProfileSync, AnEmptyServerGetsBothSubscriptionsAndASecondStartSavesNothing)
{
    EXPECT_EQ(checks(), created("created.", "created."));
    const QList<Subscription> stored = cloud.storedSubscriptions();
    EXPECT_EQ(stored, required());
    EXPECT_EQ(stored.value(0).subscriptionID, databaseID);
    EXPECT_EQ(stored.value(1).subscriptionID, queryID);
    EXPECT_EQ(stored.value(1).recordType, "VelmorProfiles");
    EXPECT_EQ(int(stored.value(1).options), 3);
    // The diagnostics' description.
    EXPECT_EQ(cloudkit::subscriptionDescription(stored.value(1)),
              "type=query, contentAvailable=true, alertBody=Velmor updated");
    EXPECT_EQ(cloudkit::subscriptionDescription(Subscription::recordZone("z")),
              "type=zone, contentAvailable=false, alertBody=nil");

    EXPECT_EQ(checks(), created("is active.", "is active."));
    EXPECT_EQ(cloud.callCount(Call::saveSubscription), 2);
}

TEST_F(ProfileSync, ForeignAndMalformedSubscriptionsAreReplacedOthersKept)
{
    cloud.putSubscription(withInfo(Subscription::database(databaseID), Info{true, "velmor updated"}));
    cloud.putSubscription(withInfo(Subscription::database(queryID), ours)); // the wrong kind
    cloud.putSubscription(Subscription::recordZone("Elsewhere"));
    EXPECT_EQ(checks(), created("updated.", "created."));
    EXPECT_EQ(cloud.storedSubscriptions(), required());

    // Other options and predicate but the right info: kept as it is.
    const Subscription query =
        withInfo(Subscription::query(queryID, "Other", "x == 1", Subscription::Option::firesOnRecordDeletion), ours);
    cloud.putSubscription(query);
    cloud.putSubscription(withInfo(Subscription::database(databaseID), Info{false, "Velmor updated"}));
    EXPECT_EQ(checks(), created("updated.", "is active."));
    EXPECT_EQ(cloud.storedSubscriptions(), (QList<Subscription>{required()[0], query}));
}

TEST_F(ProfileSync, EachSubscriptionFailureIsReportedAndTheNextStepStillRuns)
{
    cloud.putSubscription(Subscription::recordZone("A"));
    cloud.putSubscription(Subscription::recordZone("B"));
    cloud.failNext(Call::deleteSubscription, cloud::Error(Code::serviceUnavailable));
    cloud.failNext(Call::fetchSubscription, cloud::Error(Code::notAuthenticated));
    cloud.failNext(Call::saveSubscription, cloud::Error(Code::permissionFailure));
    EXPECT_EQ(checks(), (QStringList{"Cloud Sync Error: No cloud account is available.",
                                     "Cloud Sync Error: The cloud database could not be written."}));
    EXPECT_EQ(cloud.storedSubscriptions(), QList<Subscription>{Subscription::recordZone("A")});

    cloud.failNext(Call::fetchAllSubscriptions, cloud::Error(Code::serviceUnavailable));
    EXPECT_EQ(checks(), QStringList{"Cloud Sync Error: The cloud database is busy. Try again later."}
                            + created("created.", "created."));
}

TEST_F(ProfileSync, ASubscriptionResetRecreatesBothAndStopsAtTheFirstFailedSave)
{
    // The query subscription is missing: its failed delete passes unnoticed.
    cloud.putSubscription(Subscription::database(databaseID));
    sync->requestSubscriptionReset();
    queue->runUntilIdle();
    EXPECT_EQ(messages, QStringList{"Cloud Sync: CloudKit subscriptions reset."});
    EXPECT_EQ(cloud.storedSubscriptions(), required());

    messages.clear();
    cloud.failNext(Call::saveSubscription, cloud::Error(Code::serverRejectedRequest));
    sync->requestSubscriptionReset();
    queue->runUntilIdle();
    EXPECT_EQ(messages, QStringList{"Cloud Sync Error: The cloud database rejected the request."});
    EXPECT_TRUE(cloud.storedSubscriptions().isEmpty());
}

// A user record call answered with neither an id nor an error fails.
TEST_F(ProfileSync, AUserRecordAnsweredWithNothingIsAnInternalError)
{
    cloud.answerNothingNext(Call::fetchUserRecordID);
    std::optional<cloud::Error> error;
    const auto catchError = [](QCoro::Task<QString> task, std::optional<cloud::Error>* caught) -> QCoro::Task<> {
        try {
            co_await task;
        } catch (const cloud::Error& thrown) {
            *caught = thrown;
        }
    };
    catchError(cloudkit::fetchUserRecordID(cloud.localClient()), &error);
    queue->runUntilIdle();
    EXPECT_EQ(error.value_or(cloud::Error(Code::unknownItem)).code(), Code::internalError);
}

} // namespace
