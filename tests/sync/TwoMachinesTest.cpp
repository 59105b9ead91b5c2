#include "SyncFixture.h"

#include "platform/cloud/folder/FolderContainer.h"

using namespace velmor;
using namespace velmor::test;

namespace {

class TwoMachines : public SyncFixture {
protected:
    // Both started on one account, with the same profiles in the cloud and on both disks.
    std::pair<Machine*, Machine*> settled(std::shared_ptr<cloud::Container> a, std::shared_ptr<cloud::Container> b)
    {
        Machine& first = addMachine(std::move(a));
        Machine& second = addMachine(std::move(b));
        start(first);
        queue->advance(2s);
        second.clockTime = QDateTime::currentDateTimeUtc().addDays(1);
        start(second);
        queue->advance(31s); // a shared folder tells of changes at its next look
        EXPECT_EQ(first.store->makeSyncPayload(), second.store->makeSyncPayload());
        notifier.requests.clear();
        first.messages.clear();
        second.messages.clear();
        return {&first, &second};
    }
    static QByteArray profilesFile(const Machine& machine)
    {
        return readFile(QDir(machine.folder.path()).filePath("profiles.json"));
    }
    // B renames its active user profile; A takes it after the push.
    void exchange(Machine& a, Machine& b, std::chrono::milliseconds untilPushed)
    {
        b.clockTime = QDateTime::currentDateTimeUtc().addSecs(3600);
        b.renameUser("Night Shift");
        queue->advance(2s);
        queue->advance(untilPushed);
        EXPECT_EQ(a.userName(), "Night Shift");
        EXPECT_EQ(profilesFile(a), b.store->makeSyncPayload());
        ASSERT_EQ(notifier.requests.size(), 1);
        const NotificationRequest& shown = notifier.requests[0];
        EXPECT_EQ(shown.title, "Velmor profiles updated");
        EXPECT_EQ(shown.body, "User profiles updated: Night Shift");
        EXPECT_EQ(QUuid(shown.identifier).toString(QUuid::WithoutBraces).toUpper(), shown.identifier);
        EXPECT_TRUE(a.messages.isEmpty() && b.messages.isEmpty());
    }
};

TEST_F(TwoMachines, AnEditReachesTheOtherMachineWithANotification)
{
    auto [a, b] = settled(cloud.localClient(), cloud.makeClient());
    exchange(*a, *b, 0ms);
    // Nothing went back: the record is still B's upload.
    EXPECT_EQ(cloud.storedRecord("profiles")->date("updatedAt"), b->clockTime);
}

TEST_F(TwoMachines, ExchangeThroughASharedFolder)
{
    const QString share = supportPath("share");
    QDir().mkpath(share);
    const auto client = [&share] {
        return cloud::FolderContainer::create("iCloud.Velmor", {share, true}, {QUuid::createUuid()});
    };
    auto [a, b] = settled(client(), client());
    exchange(*a, *b, 30s);
}

// Both edit at once; the upload with the later date wins on both machines and disks.
TEST_F(TwoMachines, SimultaneousEditsConvergeToTheLaterOne)
{
    for (const bool firstIsLater : {true, false}) {
        SCOPED_TRACE(firstIsLater ? "first upload later" : "second upload later");
        cloud::MemoryCloud account;
        auto [a, b] = settled(account.makeClient(), account.makeClient());
        const QDateTime now = QDateTime::currentDateTimeUtc();
        a->clockTime = now.addSecs(firstIsLater ? 3600 : -3600);
        b->clockTime = now.addSecs(7200);
        a->renameUser("From A");
        b->renameUser("From B");
        queue->advance(4s); // A saves first; B's save is refused and resolved

        const QString winner = firstIsLater ? "From A" : "From B";
        EXPECT_EQ(a->userName(), winner);
        EXPECT_EQ(b->userName(), winner);
        EXPECT_EQ(account.storedRecord("profiles")->bytes("payload"), a->store->makeSyncPayload());
        EXPECT_EQ(profilesFile(*a), profilesFile(*b));
        EXPECT_TRUE(a->messages.isEmpty() && b->messages.isEmpty());
        machines.clear();
    }
}

// The profiles carry a tool's custom icon name; its file follows on the icon records.
TEST_F(TwoMachines, ACustomIconTravelsWithTheProfiles)
{
    auto [a, b] = settled(cloud.localClient(), cloud.makeClient());
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 8 8\"><rect width=\"8\" height=\"4\"/></svg>";
    writeFile(QDir(a->folder.path()).filePath("Icons/scan.svg"), svg);
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = "Scan";
    tool.iconSource = ToolIconSource::custom;
    tool.customIcon = "scan.svg";
    a->clockTime = QDateTime::currentDateTimeUtc().addSecs(3600);
    a->store->upsertTool(tool, a->store->activePacsProfile().id);
    queue->advance(2s);

    EXPECT_TRUE(cloud.storedRecord("scan"));
    EXPECT_EQ(b->store->referencedCustomIconNames(), QStringList{"scan.svg"});
    EXPECT_EQ(readFile(QDir(b->folder.path()).filePath("Icons/scan.svg")), svg);
}

TEST_F(TwoMachines, AnUndecodablePayloadLeavesTheProfilesAlone)
{
    auto [a, b] = settled(cloud.localClient(), cloud.makeClient());
    const QByteArray before = profilesFile(*a);
    cloud::Record broken = cloud.storedRecord("profiles").value();
    broken.setValue("payload", QByteArray("{\"version\": 6, \"pacsProfiles\": 3}"));
    broken.setValue("updatedAt", QDateTime::currentDateTimeUtc().addDays(2));
    cloud.makeClient()->privateCloudDatabase()->saveRecord(broken, [](auto, auto) {});
    queue->advance(2s);

    const QString error = "Cloud Sync Error: the sync payload is not a profiles document";
    EXPECT_EQ(a->messages, (QStringList{error, error})); // one per push
    EXPECT_EQ(b->messages, a->messages);
    EXPECT_EQ(profilesFile(*a), before);
    EXPECT_EQ(a->store->makeSyncPayload(), before);
    EXPECT_TRUE(notifier.requests.isEmpty());
}

} // namespace
