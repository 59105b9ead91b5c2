#include "SyncFixture.h"

using namespace velmor;
using namespace velmor::test;
using Type = cloud::Notification::Type;
using Code = cloud::Error::Code;

namespace {

class ProfileSync : public SyncFixture {
protected:
    // Started on an empty cloud, its first upload done.
    Machine& synced()
    {
        Machine& machine = local();
        start(machine);
        queue->advance(2s);
        EXPECT_EQ(uploads(), 1);
        machine.messages.clear();
        return machine;
    }
    void edit(Machine& machine, const QString& name, std::chrono::milliseconds wait = 2s)
    {
        machine.renameUser(name);
        queue->advance(wait);
    }
    QByteArray storedPayload() const { return cloud.storedRecord("profiles")->bytes("payload").value_or(""); }
};

TEST_F(ProfileSync, UploadsWaitForTheInitialSyncAndAreDebounced)
{
    Machine& machine = local();
    cloud.setHolding(true);
    start(machine);
    for (const QString name : {"A", "B", "C"})
        edit(machine, name);
    cloud.setHolding(false);
    cloud.releaseAll();
    queue->runUntilIdle();
    EXPECT_EQ(machine.messages, (QStringList{"Cloud Sync: CloudKit database subscription created.",
                                             "Cloud Sync: CloudKit query subscription created."}));
    queue->advance(CloudKitProfileSync::uploadDelay - 1ms);
    EXPECT_EQ(uploads(), 0);
    queue->advance(1ms);
    const cloud::Record record = cloud.storedRecord("profiles").value();
    EXPECT_EQ(record.recordType(), "VelmorProfiles");
    EXPECT_EQ(record.bytes("payload"), machine.store->makeSyncPayload());
    EXPECT_EQ(record.date("updatedAt"), machine.clockTime);
    EXPECT_EQ(record.integer("schemaVersion"), 6);

    // Ten saves within half a second: one upload, a second after the last.
    for (int i = 0; i < 10; ++i)
        edit(machine, QString::number(i), 50ms);
    queue->advance(CloudKitProfileSync::uploadDelay - 51ms);
    EXPECT_EQ(uploads(), 1);
    queue->advance(1ms);
    EXPECT_EQ(uploads(), 2);
    // A save that writes nothing asks for no upload; a second start does nothing.
    machine.store->save();
    machine.sync->start();
    queue->advance(5s);
    EXPECT_EQ(uploads(), 2);
    EXPECT_EQ(calls(Call::accountStatus), 4);
}

TEST_F(ProfileSync, AnUnavailableAccountIsReportedOncePerLoss)
{
    Machine& machine = synced();
    const QString paused = "Cloud Sync: iCloud is not signed in. Sync is paused.";
    cloud.setAccountStatus(cloud::AccountStatus::noAccount);
    edit(machine, "A");
    machine.sync->requestSyncNow();
    edit(machine, "B");
    EXPECT_EQ(machine.messages, QStringList{paused});
    cloud.setAccountStatus(cloud::AccountStatus::available);
    edit(machine, "C");
    cloud.setAccountStatus(cloud::AccountStatus::restricted);
    edit(machine, "D");
    // A failing status call is an error, not a loss.
    cloud.failNext(Call::accountStatus, cloud::Error(Code::serviceUnavailable));
    edit(machine, "E");
    EXPECT_EQ(machine.messages,
              (QStringList{paused, paused, "Cloud Sync Error: The cloud database is busy. Try again later."}));
    EXPECT_EQ(uploads(), 2);
}

TEST_F(ProfileSync, AnAccountAvailableLaterResumesOnTheNextSyncNowOrPush)
{
    for (const bool byPush : {false, true}) {
        SCOPED_TRACE(byPush ? "push" : "Sync Now");
        cloud::MemoryCloud account;
        account.setAccountStatus(cloud::AccountStatus::noAccount);
        Machine& machine = addMachine(account.makeClient());
        start(machine);
        machine.renameUser("Offline edit");
        queue->advance(5s);
        EXPECT_FALSE(account.storedRecord("profiles"));

        account.setAccountStatus(cloud::AccountStatus::available);
        byPush ? machine.sync->handleRemoteNotification(push(Type::database)) : machine.sync->requestSyncNow();
        queue->advance(2s);
        EXPECT_EQ(account.storedSubscriptions().size(), 2);
        EXPECT_EQ(account.storedRecord("profiles")->bytes("payload"), machine.store->makeSyncPayload());
        machines.clear();
    }
}

TEST_F(ProfileSync, ARefusedSaveAppliesALaterRemoteOrUploadsOnTopOfAnEarlierOne)
{
    Machine& machine = synced();
    putProfiles(machine.payloadRenaming("Earlier"), machine.localDate().addSecs(-60));
    edit(machine, "Mine");
    EXPECT_EQ(uploads(), 3);
    EXPECT_EQ(storedPayload(), machine.store->makeSyncPayload());

    machine.renameUser("Mine again");
    queue->runUntilIdle();
    putProfiles(machine.payloadRenaming("Later"), machine.localDate().addSecs(60));
    queue->advance(5s);
    EXPECT_EQ(uploads(), 4);
    EXPECT_EQ(machine.userName(), "Later");
    EXPECT_EQ(notifier.requests.size(), 1);
    EXPECT_TRUE(machine.messages.isEmpty());
}

TEST_F(ProfileSync, ConflictsAreRetriedThreeTimesInARowOtherFailuresNever)
{
    Machine& machine = synced();
    for (const int conflicts : {3, 4}) {
        const int saves = uploads();
        for (int i = 0; i < conflicts; ++i)
            cloud.failNext(Call::saveRecord, cloud::Error(Code::serverRecordChanged));
        edit(machine, QString::number(conflicts));
        EXPECT_EQ(uploads() - saves, 4);
        EXPECT_EQ(storedPayload() == machine.store->makeSyncPayload(), conflicts == 3);
    }
    ASSERT_EQ(machine.messages.size(), 1);
    EXPECT_TRUE(machine.messages[0].startsWith("Cloud Sync Error: The profiles record in iCloud kept changing"));

    cloud.failNext(Call::saveRecord, cloud::Error(Code::permissionFailure));
    cloud.failNext(Call::saveRecord, cloud::Error(Code::serverRecordChanged));
    cloud.failNext(Call::fetchRecord, cloud::Error(Code::serviceUnavailable));
    const int saves = uploads();
    edit(machine, "X");
    edit(machine, "Y");
    EXPECT_EQ(uploads() - saves, 2);
    EXPECT_EQ(machine.messages.mid(1), (QStringList{"Cloud Sync Error: The cloud database could not be written.",
                                                    "Cloud Sync Error: The cloud database is busy. Try again later."}));
}

// Initial sync and "Sync Now" against the stored record: which side wins.
TEST_F(ProfileSync, TheRemoteRecordWinsOnlyWhenStrictlyLater)
{
    struct Case {
        const char* name;
        int remoteOffsetSeconds;
        bool asModificationDate;
    };
    for (const Case& c : {Case{"equal", 0, false}, Case{"one second later", 1, false}, Case{"earlier", -1, false},
                          Case{"no updatedAt, modified later", 1, true}}) {
        for (const bool initial : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (initial ? ", initial sync" : ", Sync Now"));
            cloud::MemoryCloud account;
            Machine& machine = addMachine(account.makeClient());
            if (!initial) {
                start(machine);
                queue->advance(2s);
            }
            const QDateTime remote = machine.localDate().addSecs(c.remoteOffsetSeconds);
            cloud::Record record("VelmorProfiles", "profiles");
            record.setValue("payload", machine.payloadRenaming("Remote"));
            if (!c.asModificationDate)
                record.setValue("updatedAt", remote);
            record.setServerMetadata({}, c.asModificationDate ? remote : remote.addDays(-2));
            account.putRecord(record);
            const int saves = account.callCount(Call::saveRecord);
            initial ? start(machine) : machine.sync->requestSyncNow();
            queue->advance(2s);

            const bool later = c.remoteOffsetSeconds > 0;
            EXPECT_EQ(machine.userName() == "Remote", later);
            EXPECT_EQ(account.callCount(Call::saveRecord) - saves, initial && !later ? 1 : 0);
            machines.clear();
        }
    }
}

TEST_F(ProfileSync, UndatedMissingEmptyAndUndecodablePayloads)
{
    Machine& machine = synced();
    cloud::Record undated("VelmorProfiles", "profiles");
    undated.setValue("payload", machine.payloadRenaming("Undated"));
    machine.sync->applyRemoteRecord(undated, true);
    queue->advance(2s);
    EXPECT_EQ(uploads(), 2); // the initial sync uploads
    machine.sync->applyRemoteRecord(undated, false);
    EXPECT_EQ(machine.userName(), "Undated"); // a later sync takes it

    const QDateTime later = machine.localDate().addSecs(60);
    const QByteArray current = machine.store->makeSyncPayload();
    for (const QByteArray& payload : {QByteArray(), QByteArray("{\"not\": \"profiles\"}")}) {
        putProfiles(payload, later);
        machine.sync->requestSyncNow();
        queue->runUntilIdle();
    }
    cloud::Record noBytes = cloud.storedRecord("profiles").value();
    noBytes.setValue("payload", qint64(1));
    cloud.putRecord(noBytes);
    machine.sync->requestSyncNow();
    queue->advance(2s);
    EXPECT_EQ(machine.store->makeSyncPayload(), current);
    EXPECT_EQ(machine.messages, QStringList{"Cloud Sync Error: the sync payload is not a profiles document"});
    EXPECT_EQ(notifier.requests.size(), 1); // the undated one only
    EXPECT_EQ(uploads(), 2);
}

TEST_F(ProfileSync, OnlyPushesOfRecordChangesStartASync)
{
    synced();
    const int fetches = calls(Call::fetchRecord);
    for (const QVariantMap& ignored : {push(Type::readNotification), push(static_cast<Type>(9)), QVariantMap{{"aps", 1}}})
        local().sync->handleRemoteNotification(ignored);
    queue->runUntilIdle();
    EXPECT_EQ(calls(Call::fetchRecord), fetches);
    for (const Type type : {Type::query, Type::recordZone, Type::database})
        local().sync->handleRemoteNotification(push(type));
    queue->runUntilIdle();
    EXPECT_EQ(calls(Call::fetchRecord), fetches + 3);
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
    EXPECT_EQ(uploads(), 1);
    EXPECT_EQ(notifier.requests.size(), 2);
}

} // namespace
