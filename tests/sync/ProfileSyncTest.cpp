#include "SyncFixture.h"

#include "platform/cloud/Notification.h"

using namespace velmor;
using namespace velmor::test;
using Type = cloud::Notification::Type;

namespace {

class ProfileSync : public SyncFixture {
protected:
    // Started on an empty cloud, its first upload done.
    Machine& synced()
    {
        Machine& machine = local();
        start(machine);
        queue->advance(CloudKitProfileSync::uploadDelay);
        EXPECT_EQ(calls(Call::saveRecord), 1);
        machine.messages.clear();
        return machine;
    }
    QByteArray storedPayload() const { return cloud.storedRecord("profiles")->bytes("payload").value_or(""); }
};

TEST_F(ProfileSync, StartOnAnEmptyCloudUploadsOnceAfterTheInitialSyncAndSubscribes)
{
    Machine& machine = local();
    machine.clockTime = QDateTime(QDate(2024, 3, 5), QTime(6, 7, 8), Qt::UTC);
    start(machine);
    EXPECT_EQ(machine.messages, (QStringList{"Cloud Sync: CloudKit database subscription created.",
                                             "Cloud Sync: CloudKit query subscription created."}));
    EXPECT_EQ(cloud.storedSubscriptions(), (QList<cloud::Subscription>{CloudKitProfileSync::makeDatabaseSubscription(),
                                                                       CloudKitProfileSync::makeQuerySubscription()}));

    queue->advance(CloudKitProfileSync::uploadDelay - 1ms);
    EXPECT_EQ(calls(Call::saveRecord), 0);
    queue->advance(1ms);
    const cloud::Record record = cloud.storedRecord("profiles").value();
    EXPECT_EQ(record.recordType(), "VelmorProfiles");
    EXPECT_EQ(record.bytes("payload"), machine.store->makeSyncPayload());
    EXPECT_EQ(record.date("updatedAt"), machine.clockTime);
    EXPECT_EQ(record.integer("schemaVersion"), 6);
    EXPECT_EQ(*machine.sync->cachedRecord(), record);

    // A second start does nothing.
    machine.sync->start();
    queue->advance(5s);
    EXPECT_EQ(calls(Call::accountStatus), 3);
    EXPECT_EQ(calls(Call::saveRecord), 1);
}

TEST_F(ProfileSync, SavesAreDebouncedAndHeldBackUntilTheInitialSyncEnds)
{
    Machine& machine = local();
    cloud.setHolding(true);
    start(machine);
    for (const QString name : {"A", "B", "C"}) {
        machine.renameUser(name);
        queue->advance(2s);
    }
    cloud.setHolding(false);
    cloud.releaseAll();
    queue->runUntilIdle();
    queue->advance(CloudKitProfileSync::uploadDelay);
    EXPECT_EQ(calls(Call::saveRecord), 1);
    EXPECT_EQ(storedPayload(), machine.store->makeSyncPayload());

    // Ten saves within half a second: one upload, a second after the last.
    for (int i = 0; i < 10; ++i) {
        machine.renameUser(QString::number(i));
        queue->advance(50ms);
    }
    queue->advance(CloudKitProfileSync::uploadDelay - 50ms - 1ms);
    EXPECT_EQ(calls(Call::saveRecord), 1);
    queue->advance(1ms);
    EXPECT_EQ(calls(Call::saveRecord), 2);

    // A save that writes nothing new asks for no upload; every real one writes a fresh date.
    machine.store->save();
    queue->advance(5s);
    EXPECT_EQ(calls(Call::saveRecord), 2);
    machine.clockTime = machine.clockTime.addSecs(60);
    machine.renameUser("Z");
    queue->advance(2s);
    EXPECT_EQ(cloud.storedRecord("profiles")->date("updatedAt"), machine.clockTime);
    EXPECT_EQ(cloud.storedRecord("profiles")->integer("schemaVersion"), 6);
}

TEST_F(ProfileSync, UnavailableAccountIsReportedOncePerLossAndSavesNothing)
{
    Machine& machine = synced();
    const QString paused = "Cloud Sync: iCloud is not signed in. Sync is paused.";
    cloud.setAccountStatus(cloud::AccountStatus::noAccount);
    machine.renameUser("A");
    queue->advance(2s);
    machine.renameUser("B");
    queue->advance(2s);
    machine.sync->requestSyncNow();
    queue->runUntilIdle();
    EXPECT_EQ(machine.messages, QStringList{paused});
    EXPECT_EQ(calls(Call::saveRecord), 1);

    cloud.setAccountStatus(cloud::AccountStatus::available);
    machine.renameUser("C");
    queue->advance(2s);
    EXPECT_EQ(calls(Call::saveRecord), 2);
    cloud.setAccountStatus(cloud::AccountStatus::temporarilyUnavailable);
    machine.sync->requestSyncNow();
    queue->runUntilIdle();
    EXPECT_EQ(machine.messages, (QStringList{paused, paused}));

    // A failing status call is an error and does not count as a loss.
    cloud.failNext(Call::accountStatus, cloud::Error(cloud::Error::Code::serviceUnavailable));
    machine.sync->requestSyncNow();
    queue->runUntilIdle();
    EXPECT_EQ(machine.messages.last(), "Cloud Sync Error: The cloud database is busy. Try again later.");
}

// The account was signed out at start; once it is available, the next "Sync Now"
// or push runs the initial sync, so that uploads resume.
TEST_F(ProfileSync, AccountAvailableLaterResumesOnTheNextSyncNowOrPush)
{
    for (const bool byPush : {false, true}) {
        SCOPED_TRACE(byPush ? "push" : "Sync Now");
        cloud::MemoryCloud account;
        account.setAccountStatus(cloud::AccountStatus::noAccount);
        Machine& machine = addMachine(account.makeClient());
        start(machine);
        machine.renameUser("Offline edit");
        queue->advance(5s);
        EXPECT_EQ(machine.messages, QStringList{"Cloud Sync: iCloud is not signed in. Sync is paused."});
        EXPECT_FALSE(account.storedRecord("profiles"));

        account.setAccountStatus(cloud::AccountStatus::available);
        if (byPush)
            machine.sync->handleRemoteNotification(push(Type::database));
        else
            machine.sync->requestSyncNow();
        queue->runUntilIdle();
        EXPECT_TRUE(machine.sync->hasCompletedInitialSync());
        EXPECT_EQ(account.storedSubscriptions().size(), 2);
        queue->advance(CloudKitProfileSync::uploadDelay);
        EXPECT_EQ(account.callCount(Call::saveRecord), 1);
        EXPECT_EQ(account.storedRecord("profiles")->bytes("payload"), machine.store->makeSyncPayload());
        machines.clear();
    }
}

TEST_F(ProfileSync, RefusedSaveAppliesALaterRemoteOrUploadsOnTopOfTheEarlierOne)
{
    Machine& machine = synced();
    // Another machine wrote an earlier record: ours goes on top of it.
    const cloud::Record earlier = putProfiles(machine.payloadRenaming("Earlier"), machine.localDate().addSecs(-60));
    machine.renameUser("Mine");
    queue->advance(2s);
    EXPECT_EQ(calls(Call::saveRecord), 3);
    EXPECT_EQ(storedPayload(), machine.store->makeSyncPayload());
    EXPECT_NE(cloud.storedRecord("profiles")->recordChangeTag(), earlier.recordChangeTag());

    // A later one wins: its payload is applied and nothing more is uploaded.
    machine.renameUser("Mine again");
    queue->runUntilIdle();
    putProfiles(machine.payloadRenaming("Later"), machine.localDate().addSecs(60));
    queue->advance(5s);
    EXPECT_EQ(calls(Call::saveRecord), 4);
    EXPECT_EQ(machine.userName(), "Later");
    EXPECT_EQ(notifier.requests.size(), 1);
    EXPECT_TRUE(machine.messages.isEmpty());
}

TEST_F(ProfileSync, ConflictsAreRetriedThreeTimesInARowThenReported)
{
    Machine& machine = synced();
    for (int conflicts : {3, 4}) {
        SCOPED_TRACE(conflicts);
        const int saves = calls(Call::saveRecord);
        const int fetches = calls(Call::fetchRecord);
        for (int i = 0; i < conflicts; ++i)
            cloud.failNext(Call::saveRecord, cloud::Error(cloud::Error::Code::serverRecordChanged));
        machine.messages.clear();
        machine.renameUser(QString::number(conflicts));
        queue->advance(2s);
        EXPECT_EQ(calls(Call::saveRecord) - saves, 4);
        EXPECT_EQ(calls(Call::fetchRecord) - fetches, 3);
        if (conflicts == 3) {
            EXPECT_EQ(storedPayload(), machine.store->makeSyncPayload());
            EXPECT_TRUE(machine.messages.isEmpty());
        } else {
            EXPECT_NE(storedPayload(), machine.store->makeSyncPayload());
            ASSERT_EQ(machine.messages.size(), 1);
            EXPECT_TRUE(machine.messages[0].startsWith("Cloud Sync Error: ")) << machine.messages[0].toStdString();
            EXPECT_TRUE(machine.messages[0].contains("kept changing"));
        }
    }
}

TEST_F(ProfileSync, FailuresOfTheUploadRoadAreReported)
{
    Machine& machine = synced();
    using Code = cloud::Error::Code;
    cloud.failNext(Call::saveRecord, cloud::Error(Code::permissionFailure));
    machine.renameUser("A");
    queue->advance(2s);
    // A conflict whose refetch fails gives up; so does one whose record is gone.
    cloud.failNext(Call::saveRecord, cloud::Error(Code::serverRecordChanged));
    cloud.failNext(Call::fetchRecord, cloud::Error(Code::serviceUnavailable));
    machine.renameUser("B");
    queue->advance(2s);
    cloud.failNext(Call::saveRecord, cloud::Error(Code::serverRecordChanged));
    cloud.answerNothingNext(Call::fetchRecord);
    machine.renameUser("C");
    queue->advance(2s);
    EXPECT_EQ(machine.messages, (QStringList{"Cloud Sync Error: The cloud database could not be written.",
                                             "Cloud Sync Error: The cloud database is busy. Try again later."}));
    EXPECT_EQ(calls(Call::saveRecord), 4);
    EXPECT_EQ(calls(Call::fetchRecord), 3);
}

// Initial sync and "Sync Now" against the stored record: which side wins.
TEST_F(ProfileSync, TheRemoteRecordWinsOnlyWhenStrictlyLater)
{
    struct Case {
        const char* name;
        int remoteOffsetSeconds;
        bool asModificationDate;
        bool initialUploads;
        bool syncNowApplies;
    };
    for (const Case& c : {Case{"equal", 0, false, true, false}, Case{"one second later", 1, false, false, true},
                          Case{"earlier", -1, false, true, false},
                          Case{"modification date later", 1, true, false, true}}) {
        for (const bool initial : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (initial ? " initial" : " sync now"));
            cloud::MemoryCloud account;
            Machine& machine = addMachine(account.makeClient());
            if (!initial) {
                start(machine);
                queue->advance(2s);
            }
            const QByteArray before = machine.store->makeSyncPayload();
            const QDateTime remote = machine.localDate().addSecs(c.remoteOffsetSeconds);
            cloud::Record record("VelmorProfiles", "profiles");
            record.setValue("payload", machine.payloadRenaming("Remote"));
            if (!c.asModificationDate)
                record.setValue("updatedAt", remote);
            record.setServerMetadata({}, c.asModificationDate ? remote : remote.addDays(-2));
            account.putRecord(record);
            const int saves = account.callCount(Call::saveRecord);
            initial ? start(machine) : machine.sync->requestSyncNow();
            queue->runUntilIdle();
            queue->advance(2s);

            const bool applied = initial ? !c.initialUploads : c.syncNowApplies;
            EXPECT_EQ(machine.userName() == "Remote", applied);
            EXPECT_EQ(account.callCount(Call::saveRecord) - saves, initial && c.initialUploads ? 1 : 0);
            if (!applied) {
                EXPECT_EQ(machine.store->makeSyncPayload(), before);
            }
            machines.clear();
        }
    }
}

TEST_F(ProfileSync, RecordsWithoutDatesOrPayloadAndUndecodablePayloads)
{
    Machine& machine = synced();
    cloud::Record undated("VelmorProfiles", "profiles");
    undated.setValue("payload", machine.payloadRenaming("Undated"));
    machine.sync->applyRemoteRecord(undated, true);
    queue->advance(2s);
    EXPECT_EQ(calls(Call::saveRecord), 2); // the initial sync uploads
    machine.sync->applyRemoteRecord(undated, false);
    EXPECT_EQ(machine.userName(), "Undated"); // a later sync takes it

    const QDateTime later = machine.localDate().addSecs(60);
    machine.messages.clear();
    const QByteArray current = machine.store->makeSyncPayload();
    for (const QByteArray& payload : {QByteArray(), QByteArray("{\"not\": \"profiles\"}")}) {
        putProfiles(payload, later);
        machine.sync->requestSyncNow();
        queue->runUntilIdle();
    }
    cloud::Record noPayload("VelmorProfiles", "profiles");
    noPayload.setValue("payload", qint64(1));
    noPayload.setValue("updatedAt", later);
    cloud.putRecord(noPayload);
    machine.sync->requestSyncNow();
    queue->advance(2s);
    EXPECT_EQ(machine.store->makeSyncPayload(), current);
    EXPECT_EQ(machine.messages, QStringList{"Cloud Sync Error: the sync payload is not a profiles document"});
    EXPECT_EQ(notifier.requests.size(), 1); // the undated one only
    EXPECT_EQ(calls(Call::saveRecord), 2);
}

TEST_F(ProfileSync, OnlyPushesOfRecordChangesStartASync)
{
    Machine& machine = synced();
    const int fetches = calls(Call::fetchRecord);
    machine.sync->handleRemoteNotification(push(Type::readNotification));
    machine.sync->handleRemoteNotification(push(static_cast<Type>(9)));
    machine.sync->handleRemoteNotification({{"aps", QVariantMap{}}});
    queue->runUntilIdle();
    EXPECT_EQ(calls(Call::fetchRecord), fetches);
    for (const Type type : {Type::query, Type::recordZone, Type::database})
        machine.sync->handleRemoteNotification(push(type));
    queue->runUntilIdle();
    EXPECT_EQ(calls(Call::fetchRecord), fetches + 3);
    // "Sync Now" with no record: nothing fetched to apply, nothing uploaded.
    cloud::MemoryCloud empty;
    Machine& other = addMachine(empty.makeClient());
    start(other);
    other.sync->requestSyncNow();
    queue->runUntilIdle();
    EXPECT_EQ(empty.callCount(Call::saveRecord), 0);
    EXPECT_EQ(empty.callCount(Call::fetchRecord), 2);
    machines.pop_back();
}

// Applying a remote payload never uploads it back, whenever the store reports its save.
TEST_F(ProfileSync, ApplyingARemotePayloadUploadsNothing)
{
    Machine& machine = synced();
    // A local save whose callback is still queued when the remote payload arrives.
    machine.renameUser("Local");
    machine.sync->applyRemotePayload(machine.payloadRenaming("Remote"));
    queue->advance(5s);
    // Through a push, with the store's callback after the apply has ended.
    putProfiles(machine.payloadRenaming("Pushed"), machine.localDate().addSecs(60));
    machine.sync->handleRemoteNotification(push(Type::query));
    queue->advance(5s);
    EXPECT_EQ(machine.userName(), "Pushed");
    EXPECT_EQ(calls(Call::saveRecord), 1);
    EXPECT_EQ(notifier.requests.size(), 2);
}

} // namespace
