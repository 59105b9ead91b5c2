#include "../store/ScriptedFileSystem.h"
#include "model/CustomIconLibrary.h"
#include "platform/Paths.h"
#include "platform/cloud/memory/MemoryCloud.h"
#include "platform/notifications/RecordingNotifier.h"
#include "store/ProfileStore.h"
#include "support/InProcessIconRenderer.h"
#include "support/TestSupport.h"
#include "sync/CloudKitCalls.h"
#include "sync/CloudKitProfileSync.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;
using Call = cloud::MemoryCloud::Call;
using Code = cloud::Error::Code;

namespace {

// A machine on a cloud account in memory, with recorded notifications, on virtual
// time; its store dates its writes by the virtual clock. `clockTime`, the sync's
// date for data the store cannot date, is a day ago unless a test says so.
class ProfileSync : public PlatformFixture {
protected:
    ProfileSync()
    {
        Notifier::setInstance(&notifier);
        store->clock = [this, start = QDateTime::currentDateTimeUtc()] { return start.addMSecs(queue->now().count()); };
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
        messages.clear();
    }
    void edit(const QString& name, std::chrono::milliseconds wait = 2s)
    {
        store->renameUserProfile(store->activeUserProfile().id, name);
        queue->advance(wait);
    }
    QString userName() const { return store->activeUserProfile().name; }
    // A tool of the active PACS profile drawn with the custom icon "scan.svg".
    void addToolWithCustomIcon()
    {
        RadiologyTool tool;
        tool.id = QUuid::createUuid();
        tool.iconSource = ToolIconSource::custom;
        tool.customIcon = "scan.svg";
        store->upsertTool(tool, store->activePacsProfile().id);
    }
    // The cloud's record of that icon; returns its SVG.
    QByteArray putIconRecord()
    {
        const QByteArray svg = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 8 8"><rect width="8"/></svg>)";
        writeFile(supportPath("scan.svg"), svg);
        cloud::Record icon("VelmorIcon", "scan");
        icon.setValue("svgAsset", cloud::Asset{supportPath("scan.svg")});
        icon.setValue("pngAsset", cloud::Asset{supportPath("scan.svg")});
        cloud.putRecord(icon);
        return svg;
    }
    QDateTime localDate() const { return store->lastModifiedDate().value(); }
    // The local document with the active user profile renamed.
    QByteArray payloadRenaming(const QString& name) const
    {
        const auto quoted = [](const QString& n) { return QString("\"name\": \"%1\"").arg(n).toUtf8(); };
        return store->makeSyncPayload().replace(quoted(userName()), quoted(name));
    }
    // The profiles record as another machine left it.
    static cloud::Record profiles(const QByteArray& payload, std::optional<QDateTime> updatedAt,
                                  std::optional<QDateTime> modified = {})
    {
        cloud::Record record("VelmorProfiles", "profiles");
        record.setValue("payload", payload);
        if (updatedAt)
            record.setValue("updatedAt", *updatedAt);
        record.setServerMetadata({}, modified);
        return record;
    }
    // As another machine of this version writes it: over the record stored now.
    cloud::Record overStored(cloud::Record record) const
    {
        if (const std::optional<cloud::Record> stored = cloud.storedRecord("profiles"))
            record.setValue("replaces", stored->recordChangeTag().toUtf8());
        return record;
    }
    QByteArray storedPayload() const { return cloud.storedRecord("profiles").value().bytes("payload").value_or(""); }
    int uploads() const { return cloud.callCount(Call::saveRecord); }

    RecordingNotifier notifier;
    InProcessIconRenderer iconRenderer;
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
    EXPECT_EQ(cloud.storedRecord("profiles").value().date("updatedAt"), localDate());
    EXPECT_EQ(cloud.storedRecord("profiles").value().integer("schemaVersion"), 6);

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
    sync->requestSyncNow();
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
                                     "Cloud Sync Error: The cloud database is busy. Try again later."}))
        << messages.join(QChar(10)).toStdString();

    // Refused for an earlier record: uploaded on top of it.
    cloud.putRecord(profiles(payloadRenaming("Earlier"), localDate().addSecs(-60)));
    edit("Mine");
    EXPECT_EQ(storedPayload(), store->makeSyncPayload());
    // Refused for a later record: that one is taken instead.
    edit("Mine again", 0ms);
    cloud.putRecord(profiles(payloadRenaming("Later"), localDate().addSecs(60)));
    queue->advance(5s);
    EXPECT_EQ(userName(), "Later");
    EXPECT_EQ(uploads() - saves, 5) << messages.join(QChar(10)).toStdString();
}

// A record carries the time of the change it holds, not of its upload: two real
// saves that end where they began still make a newer record.
TEST_F(ProfileSync, RecordsCarryTheTimeOfTheChangeTheyHold)
{
    synced();
    edit("X", 0ms);
    const QDateTime changed = localDate();
    queue->advance(5s);
    const QByteArray payload = storedPayload();
    EXPECT_EQ(cloud.storedRecord("profiles")->date("updatedAt"), changed);
    edit("Y", 100ms);
    edit("X", 5s);
    EXPECT_EQ(storedPayload(), payload);
    EXPECT_EQ(cloud.storedRecord("profiles")->date("updatedAt"), changed.addMSecs(5100));

    // A record taken dates the local data as its change, so it is not sent back
    // when this machine starts again and compares.
    const QDateTime remote = localDate().addSecs(30);
    cloud.putRecord(profiles(payloadRenaming("Remote"), remote));
    queue->advance(60s);
    sync->requestSyncNow();
    queue->advance(2s);
    EXPECT_EQ(userName(), "Remote");
    EXPECT_EQ(localDate(), remote);
}

// A save that failed leaves edits only in memory: the cloud copy does not replace
// them without a word, and the next save that works uploads them.
TEST_F(ProfileSync, EditsThatCouldNotBeSavedAreNotReplacedByTheCloudCopy)
{
    synced();
    // A folder where the save's backup goes makes every save fail.
    ASSERT_TRUE(QDir(supportDir.path()).mkpath("profiles.json.backup/x"));
    edit("Unsaved");
    const int saves = uploads();
    // Later than the data on disk, earlier than the save that works.
    cloud.putRecord(profiles(payloadRenaming("Remote"), localDate().addSecs(1)));
    sync->requestSyncNow();
    queue->advance(2s);
    EXPECT_EQ(userName(), "Unsaved");
    const QString saveFailed = "Save Failed: Failed to save profiles: Is a directory";
    // "Sync Now" tried the save again first.
    EXPECT_EQ(messages, (QStringList{saveFailed, saveFailed,
                                     "Cloud Sync: The profiles from iCloud were not applied because your latest "
                                     "changes could not be saved on this computer. Sync resumes after the next "
                                     "successful save."}));
    EXPECT_TRUE(notifier.requests.isEmpty());

    ASSERT_TRUE(QDir(supportPath("profiles.json.backup")).removeRecursively());
    edit("Saved");
    // The record changed meanwhile: refused once, then merged, the later change here
    // winning and the record's version kept beside the profiles.
    EXPECT_EQ(storedPayload(), store->makeSyncPayload());
    EXPECT_EQ(uploads() - saves, 2);
    EXPECT_TRUE(QFileInfo::exists(supportPath("Remote (user profile).json")));
    EXPECT_FALSE(store->hasUnsavedChanges());
}

// A data folder that cannot be written pauses the sync, logged once: nothing taken could
// be saved, nothing sent remembered. The first save that works there resumes it.
TEST_F(ProfileSync, AReadOnlyDataFolderPausesTheSyncUntilASaveWorks)
{
    const auto disk = std::make_shared<test::ScriptedFileSystem>();
    disk->setReadOnly(true);
    const auto local = std::make_shared<ProfileStore>(disk);
    local->onError = [this](const QString& title, const QString& text) { messages.append(title + ": " + text); };
    const std::shared_ptr<CloudKitProfileSync> paused =
        CloudKitProfileSync::create(local, cloud.localClient(), [this] { return clockTime; });
    QStringList lines;
    paused->onLog = [&lines](const QString& line) { lines.append(line); };
    const auto rename = [&](const QString& name) {
        local->renameUserProfile(local->activeUserProfile().id, name);
        queue->advance(2s);
    };
    paused->start();
    queue->advance(2s);
    rename("Here");
    paused->requestSyncNow();
    queue->advance(2s);
    EXPECT_EQ(uploads(), 0);
    EXPECT_EQ(lines.count("Cloud Sync: paused while the data folder cannot be written (Read-only file system)."), 1);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().startsWith("Save Failed: Changes to your profiles cannot be saved"))
        << messages.first().toStdString();

    disk->setReadOnly(false);
    rename("Here again");
    EXPECT_EQ(storedPayload(), local->makeSyncPayload());
    EXPECT_EQ(messages.filter("Save Failed").size(), 1) << messages.join("\n").toStdString();
}

// An upload that failed goes up at the next "Sync Now", or once the cloud takes writes
// again, when the local data is still newer than the record; nothing retries by itself.
TEST_F(ProfileSync, AFailedUploadGoesUpAtTheNextSyncNowOrWhenTheCloudTakesWritesAgain)
{
    // The first upload to an empty cloud, with the first edit, then two more: each refused.
    for (int i = 0; i < 3; ++i)
        cloud.failNext(Call::saveRecord, cloud::Error(Code::permissionFailure));
    start();
    for (const char* name : {"One", "Two", "Three"})
        edit(name);
    EXPECT_EQ(messages.filter("Cloud Sync Error").size(), 3);
    EXPECT_FALSE(cloud.storedRecord("profiles"));
    queue->advance(10min);
    EXPECT_EQ(uploads(), 3);
    sync->requestSyncNow();
    queue->advance(2s);
    EXPECT_EQ(storedPayload(), store->makeSyncPayload());
    EXPECT_EQ(uploads(), 4);

    cloud.failNext(Call::saveRecord, cloud::Error(Code::serviceUnavailable));
    edit("Four");
    cloud.announceWritableAgain();
    queue->advance(2s);
    EXPECT_EQ(storedPayload(), store->makeSyncPayload());
    // Nothing owed: neither a fetch nor an upload.
    const int fetches = cloud.callCount(Call::fetchRecord);
    cloud.announceWritableAgain();
    sync->requestSyncNow();
    queue->advance(2s);
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), fetches + 1);
    EXPECT_EQ(uploads(), 6);

    // A later edit elsewhere meanwhile wins, as the dates say.
    cloud.failNext(Call::saveRecord, cloud::Error(Code::permissionFailure));
    edit("Five");
    cloud.putRecord(profiles(payloadRenaming("Elsewhere"), localDate().addSecs(1)));
    queue->advance(2s);
    sync->requestSyncNow();
    queue->advance(2s);
    EXPECT_EQ(userName(), "Elsewhere");
    EXPECT_EQ(uploads(), 7);
    EXPECT_FALSE(sync->isUploadOwed());
}

// Seconds from the local date to the record's; whether the date is the server's
// modification date rather than "updatedAt"; whether the initial sync meets it.
class RemoteRecord : public ProfileSync, public ::testing::WithParamInterface<std::tuple<int, bool, bool>> {};

// Before this machine synced, the initial sync takes a record of other changes only
// when it is strictly later, and uploads otherwise; once synced, nothing changed here,
// a changed record is taken whatever its date.
TEST_P(RemoteRecord, WinsOnlyWhenStrictlyLater)
{
    const auto [offset, asModificationDate, initial] = GetParam();
    edit("Local");
    if (!initial)
        synced();
    const QDateTime remote = localDate().addSecs(offset);
    cloud.putRecord(overStored(asModificationDate ? profiles(payloadRenaming("Remote"), {}, remote)
                                                  : profiles(payloadRenaming("Remote"), remote, remote.addDays(-2))));
    const int saves = uploads();
    initial ? start() : sync->requestSyncNow();
    queue->advance(2s);
    EXPECT_EQ(userName() == "Remote", offset > 0 || !initial);
    EXPECT_EQ(uploads() - saves, initial && offset <= 0 ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Dates, RemoteRecord,
                         ::testing::Combine(::testing::Values(-1, 0, 1), ::testing::Bool(), ::testing::Bool()));

// A quit starts an upload owed (the folder was locked) or one waiting out its delay at
// once; with nothing owed it sends nothing.
TEST_F(ProfileSync, AnUploadOwedOrWaitingStartsAtQuit)
{
    synced();
    cloud.failNext(Call::saveRecord, cloud::Error(Code::serviceUnavailable));
    edit("Locked");
    ASSERT_TRUE(sync->isUploadOwed());
    sync->uploadAtQuit();
    queue->runUntilIdle();
    EXPECT_EQ(storedPayload(), store->makeSyncPayload());
    EXPECT_FALSE(sync->isUploadOwed());

    edit("Waiting", 0ms);
    sync->uploadAtQuit();
    queue->runUntilIdle();
    EXPECT_EQ(storedPayload(), store->makeSyncPayload());

    const int saves = uploads();
    sync->uploadAtQuit();
    queue->advance(10s);
    EXPECT_EQ(uploads(), saves) << "nothing owed, and the delayed upload went already";
}

// Profiles nobody changed reach an empty cloud, dated as untouched, and give way to
// any other profiles there, whatever the record's date.
TEST_F(ProfileSync, UntouchedProfilesReachAnEmptyCloudAndGiveWayToAnyOther)
{
    const QDateTime untouched = ProfileStore::untouchedDate();
    synced();
    EXPECT_EQ(uploads(), 1);
    EXPECT_EQ(cloud.storedRecord("profiles")->date("updatedAt"), untouched);
    // Their own record coming back changes nothing.
    sync->requestSyncNow();
    queue->advance(5s);
    EXPECT_EQ(uploads(), 1);
    EXPECT_TRUE(notifier.requests.isEmpty());

    struct Case {
        std::optional<QDateTime> updatedAt;
        bool initial;
    };
    for (const Case& c : {Case{untouched, true}, Case{std::nullopt, true}, Case{untouched, false},
                          Case{untouched.addSecs(-1), false}}) {
        store->applySyncPayload(store->makeSyncPayload(), untouched);
        ASSERT_TRUE(store->holdsUntouchedProfiles());
        const QString name = QString("Remote %1").arg(notifier.requests.size());
        sync->applyRemoteRecord(profiles(payloadRenaming(name), c.updatedAt), c.initial);
        queue->advance(5s);
        EXPECT_EQ(userName(), name);
        EXPECT_EQ(uploads(), 1);
    }
    // A real edit is dated as usual and goes up once.
    edit("Mine");
    EXPECT_FALSE(store->holdsUntouchedProfiles());
    EXPECT_EQ(uploads(), 2);
}

TEST_F(ProfileSync, UndatedMissingEmptyAndUndecodablePayloads)
{
    edit("Local");
    synced();
    // Nothing changed here: a record without a date is taken, at the initial sync too.
    const cloud::Record undated = overStored(profiles(payloadRenaming("Undated"), {}));
    sync->applyRemoteRecord(undated, true);
    queue->advance(2s);
    EXPECT_EQ(userName(), "Undated");
    sync->applyRemoteRecord(undated, false);
    queue->runUntilIdle();
    EXPECT_EQ(userName(), "Undated");

    sync->applyRemoteRecord(cloud::Record("VelmorProfiles", "profiles"), false);
    sync->applyRemoteRecord(profiles({}, {}), false);
    cloud.failNext(Call::fetchRecord, cloud::Error(Code::notAuthenticated));
    sync->requestSyncNow();
    queue->runUntilIdle();
    cloud.putRecord(profiles("{\"not\": \"profiles\"}", localDate().addSecs(1)));
    queue->advance(2s);
    sync->requestSyncNow();
    queue->advance(2s);
    // A payload that is no profiles is kept as a file, told, and this computer's profiles go up over it.
    const QString kept = QFileInfo(store->fileURL()).dir().filePath("Profiles from iCloud (unreadable).json");
    EXPECT_EQ(messages, (QStringList{"Cloud Sync Error: No cloud account is available.",
                                     "Cloud Sync Error: The profiles in iCloud cannot be read. This computer's "
                                     "profiles are uploaded in their place. What iCloud held is kept in “" +
                                         QDir::toNativeSeparators(QFileInfo(kept).path()) +
                                         "”: “Profiles from iCloud (unreadable).json”."}));
    EXPECT_EQ(readFile(kept), "{\"not\": \"profiles\"}");
    EXPECT_EQ(notifier.requests.size(), 1); // the undated one only
    EXPECT_EQ(uploads(), 2);
    EXPECT_EQ(storedPayload(), store->makeSyncPayload());
}

// A new machine meets a record whose payload is present but empty, or missing: it
// changes nothing, ends the initial sync, and the next edit goes up over it.
TEST_F(ProfileSync, AnEmptyOrMissingPayloadEndsTheInitialSyncAndTheNextEditGoesUp)
{
    for (const bool empty : {true, false}) {
        SCOPED_TRACE(empty);
        cloud::Record record("VelmorProfiles", "profiles");
        if (empty)
            record.setValue("payload", QByteArray());
        record.setValue("updatedAt", QDateTime::currentDateTimeUtc().addDays(-2));
        cloud.putRecord(record);
        QTemporaryDir folder;
        paths::setApplicationSupportOverride(folder.path());
        const auto machine = std::make_shared<ProfileStore>();
        queue->runUntilIdle(); // its first save, before the sync starts
        const auto machineSync = CloudKitProfileSync::create(machine, cloud.localClient());
        paths::setApplicationSupportOverride(supportDir.path());
        const int before = uploads();
        machineSync->start();
        queue->advance(5s);
        EXPECT_TRUE(machineSync->hasCompletedInitialSync());
        EXPECT_EQ(uploads(), before);
        machine->renameUserProfile(machine->activeUserProfile().id, "Edited");
        queue->advance(3s);
        EXPECT_EQ(uploads(), before + 1);
        EXPECT_EQ(storedPayload(), machine->makeSyncPayload());
        EXPECT_TRUE(machineSync->hasSyncedWithAccount());
    }
}

// A taken payload is announced, brings the custom icons it uses, and is never
// uploaded back, whenever the store reports its save.
TEST_F(ProfileSync, ATakenPayloadIsAnnouncedBringsItsIconsAndIsNotUploadedBack)
{
    addToolWithCustomIcon();
    synced();
    const QByteArray svg = putIconRecord();

    // A save whose upload waits out the debounce, a later save whose callback is still
    // queued when the remote payload arrives, and an upload asked for while it is applied.
    edit("Waiting", 0ms);
    store->renameUserProfile(store->activeUserProfile().id, "Local");
    auto asking = store->userProfiles().subscribe([this](const auto&) {
        if (userName() == "Night Shift")
            sync->scheduleUpload();
    });
    sync->applyRemotePayload(payloadRenaming("Night Shift"));
    queue->runUntilIdle();
    asking.reset();
    queue->advance(5s);
    EXPECT_EQ(userName(), "Night Shift");
    EXPECT_EQ(readFile(QDir(customIconsDirectory()).filePath("scan.svg")), svg);
    EXPECT_EQ(notifier.requests.value(0).body, "User profiles updated: Night Shift");
    EXPECT_EQ(uploads(), 1);
}

// At the initial sync, a record that already holds the local document (the same
// bytes, date and schema) is not sent back, and the icons it uses are still synced;
// one that differs in any of these is uploaded over as before. The record kept as
// the base of the next upload holds no payload.
TEST_F(ProfileSync, TheInitialSyncDoesNotSendBackWhatTheRecordAlreadyHolds)
{
    addToolWithCustomIcon();
    edit("Local");
    const QByteArray svg = putIconRecord();

    cloud::Record same = profiles(store->makeSyncPayload(), localDate());
    same.setValue("schemaVersion", qint64{6});
    cloud::Record older = same;
    older.setValue("updatedAt", localDate().addSecs(-1));
    cloud::Record otherSchema = same;
    otherSchema.setValue("schemaVersion", qint64{5});
    cloud::Record undated = same;
    undated.removeValue("updatedAt");
    undated.setServerMetadata({}, localDate());
    for (const auto& [record, expected] : {std::pair{same, 0}, {older, 1}, {otherSchema, 1}, {undated, 1}}) {
        cloud.putRecord(record);
        const int before = uploads();
        const auto fresh = CloudKitProfileSync::create(store, cloud.localClient(), [this] { return clockTime; });
        fresh->start();
        queue->advance(2s);
        EXPECT_EQ(uploads() - before, expected) << record.value("schemaVersion").has_value();
        ASSERT_TRUE(fresh->cachedRecord());
        EXPECT_FALSE(fresh->cachedRecord()->bytes("payload"));
        if (expected == 0) {
            EXPECT_EQ(readFile(QDir(customIconsDirectory()).filePath("scan.svg")), svg);
        }
    }
    EXPECT_EQ(storedPayload(), store->makeSyncPayload());
    EXPECT_EQ(userName(), "Local");
    EXPECT_TRUE(messages.filter("Error").isEmpty()) << messages.join('\n').toStdString();

    // The same document dated later (its own upload, dated when the save's outcome
    // came): its date is taken, and nothing is decoded, announced or sent back.
    const QDateTime later = localDate().addMSecs(120);
    cloud.putRecord(profiles(store->makeSyncPayload(), later));
    const int before = uploads();
    const auto fresh = CloudKitProfileSync::create(store, cloud.localClient(), [this] { return clockTime; });
    ManualSerialQueue* decoder = serialQueues.find("com.velmor.payloads");
    ASSERT_NE(decoder, nullptr);
    decoder->setStepwise(true);
    fresh->start();
    queue->advance(2s);
    EXPECT_EQ(decoder->pendingCount(), 0u);
    EXPECT_EQ(localDate(), later);
    EXPECT_EQ(QFileInfo(store->fileURL()).lastModified().toUTC(), later);
    EXPECT_EQ(uploads(), before);
    EXPECT_TRUE(notifier.requests.isEmpty());
    decoder->setStepwise(false);
}

using Subscription = cloud::Subscription;

Subscription withInfo(Subscription subscription, const QString& alert = "Velmor updated")
{
    subscription.notificationInfo = cloud::NotificationInfo{true, alert};
    return subscription;
}

TEST_F(ProfileSync, ForeignAndMalformedSubscriptionsAreReplacedOthersKept)
{
    const QList<Subscription> required{CloudKitProfileSync::makeDatabaseSubscription(),
                                       CloudKitProfileSync::makeQuerySubscription()};
    const QString queryID = "VelmorProfiles.query.subscription";
    cloud.putSubscription(withInfo(Subscription::database("VelmorProfiles.database.subscription"), "velmor updated"));
    cloud.putSubscription(withInfo(Subscription::database(queryID))); // the wrong kind
    cloud.putSubscription(Subscription::recordZone("Elsewhere"));
    start();
    EXPECT_EQ(messages, (QStringList{"Cloud Sync: CloudKit database subscription updated.",
                                     "Cloud Sync: CloudKit query subscription created."}));
    EXPECT_EQ(cloud.storedSubscriptions(), required);
    EXPECT_EQ(cloudkit::subscriptionDescription(Subscription::recordZone("Elsewhere")),
              "type=zone, contentAvailable=false, alertBody=nil"); // its line in the diagnostics

    // Other options and predicate but the right info: kept as it is.
    const Subscription query =
        withInfo(Subscription::query(queryID, "Other", "x == 1", Subscription::Option::firesOnRecordDeletion));
    cloud.putSubscription(query);
    messages.clear();
    sync->ensureQuerySubscription();
    queue->runUntilIdle();
    EXPECT_EQ(messages, QStringList{"Cloud Sync: CloudKit query subscription is active."});
    EXPECT_EQ(cloud.storedSubscriptions(), (QList<Subscription>{required[0], query}));

    // A reset stops at its first failed save; done, both are made afresh.
    messages.clear();
    cloud.failNext(Call::saveSubscription, cloud::Error(Code::permissionFailure));
    sync->requestSubscriptionReset();
    queue->runUntilIdle();
    EXPECT_EQ(cloud.storedSubscriptions(), QList<Subscription>{});
    sync->requestSubscriptionReset();
    queue->runUntilIdle();
    EXPECT_EQ(messages, (QStringList{"Cloud Sync Error: The cloud database could not be written.",
                                     "Cloud Sync: CloudKit subscriptions reset."}));
    EXPECT_EQ(cloud.storedSubscriptions(), required);
}

} // namespace

// A remote change is decoded once, on the decoder's queue (stepped here by hand):
// the window's thread only applies it, and an edit made meanwhile is kept.
TEST_F(ProfileSync, ARemoteChangeIsDecodedOnceAwayFromTheWindowAndYieldsToANewerEdit)
{
    synced();
    ManualSerialQueue* decoder = serialQueues.find("com.velmor.payloads");
    ASSERT_NE(decoder, nullptr);
    decoder->setStepwise(true);

    cloud.putRecord(profiles(payloadRenaming("Remote"), localDate().addSecs(60)));
    sync->requestSyncNow();
    queue->runUntilIdle();
    EXPECT_EQ(decoder->pendingCount(), 1u);
    EXPECT_NE(userName(), "Remote");
    EXPECT_TRUE(decoder->runNext());
    EXPECT_EQ(decoder->pendingCount(), 0u);
    queue->runUntilIdle();
    EXPECT_EQ(userName(), "Remote");
    // The notice is worked out there too, from the profiles the user then has.
    EXPECT_TRUE(notifier.requests.isEmpty());
    EXPECT_EQ(decoder->pendingCount(), 1u);
    EXPECT_TRUE(decoder->runNext());
    queue->runUntilIdle();
    ASSERT_EQ(notifier.requests.size(), 1);
    EXPECT_EQ(notifier.requests.first().body, "User profiles updated: Remote");

    cloud.putRecord(profiles(payloadRenaming("Remote again"), localDate().addSecs(60)));
    sync->requestSyncNow();
    queue->runUntilIdle();
    const int uploadsBefore = uploads();
    store->renameUserProfile(store->activeUserProfile().id, "Mine, typed meanwhile");
    decoder->runAll();
    queue->advance(2s);
    EXPECT_EQ(userName(), "Mine, typed meanwhile");
    EXPECT_EQ(notifier.requests.size(), 1);
    EXPECT_EQ(uploads(), uploadsBefore + 1);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    // Weighed again with the edit in: both changed the one profile, the edit is the
    // later change, and the record's version is kept beside the profiles.
    for (int turn = 0; turn < 5 && decoder->pendingCount() > 0; ++turn) {
        decoder->runAll();
        queue->advance(2s);
    }
    EXPECT_EQ(userName(), "Mine, typed meanwhile");
    EXPECT_EQ(storedPayload(), store->makeSyncPayload());
    EXPECT_TRUE(QFileInfo::exists(supportPath("Remote again (user profile).json")));
}
