// The folder database shared by two processes: this test is one client, a
// velmor_cloud_tool process the other.
#include "CloudTestSupport.h"
#include "platform/cloud/folder/FolderContainer.h"
#include "platform/cloud/folder/FolderLock.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using namespace velmor;
using namespace velmor::cloud;
using namespace velmor::test;

namespace {

class FolderProcesses : public PlatformFixture {
protected:
    struct Run {
        QProcess::ExitStatus status = QProcess::NormalExit;
        QStringList lines;
    };

    FolderProcesses()
    {
        QDir().mkpath(share());
        client = FolderContainer::create("iCloud.Velmor", {share(), true}, {QUuid::createUuid()});
    }

    QString share() const { return supportPath("share"); }

    // Runs the other client to its end; it finds the folder through VELMOR_CLOUD_FOLDER.
    Run other(const QStringList& arguments, const QString& folder = {})
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VELMOR_CLOUD_FOLDER", folder.isEmpty() ? share() : folder);
        process.setProcessEnvironment(environment);
        process.start(VELMOR_CLOUD_TOOL, arguments);
        EXPECT_TRUE(process.waitForFinished(60'000));
        return {process.exitStatus(), QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)};
    }

    Record saveHere(const Record& record)
    {
        const Outcome<Record> saved = save(*queue, *client->privateCloudDatabase(), record);
        EXPECT_TRUE(saved.value) << (saved.error ? saved.error->what() : "");
        return saved.value.value_or(Record());
    }

    static Record profiles(const QByteArray& payload, const Record& base = Record("VelmorProfiles", "profiles"))
    {
        Record record = base;
        record.setValue("payload", payload);
        return record;
    }

    std::shared_ptr<FolderContainer> client;
};

TEST_F(FolderProcesses, TheFirstWriterWinsAndTheLaterSaveIsRefused)
{
    const Record mine = saveHere(profiles("first"));
    const Run run = other({"update", "profiles", "second"});
    ASSERT_EQ(run.lines.size(), 1);
    ASSERT_TRUE(run.lines.at(0).startsWith("saved ")) << run.lines.at(0).toStdString();

    const Outcome<Record> refused = save(*queue, *client->privateCloudDatabase(), profiles("mine", mine));
    EXPECT_EQ(refused.code(), Error::Code::serverRecordChanged);
    const Record stored = *fetch(*queue, *client->privateCloudDatabase(), "profiles").value;
    EXPECT_EQ(stored.bytes("payload"), "second");
    EXPECT_EQ("saved " + stored.recordChangeTag(), run.lines.at(0));
}

TEST_F(FolderProcesses, AChangeIsPushedToTheOtherProcessAtOnceButNotToItsWriter)
{
    saveHere(Record("VelmorIcon", "gear"));
    for (const Subscription& subscription :
         {Subscription::database("everything"),
          Subscription::query("profiles", "VelmorProfiles", Subscription::truePredicate,
                              Subscription::Option::firesOnRecordCreation | Subscription::Option::firesOnRecordUpdate)})
        complete<Subscription>(*queue, [&](auto done) {
            client->privateCloudDatabase()->saveSubscription(subscription, std::move(done));
        });
    PushLog pushes(*client);
    complete<QByteArray>(*queue, [&](auto done) { client->registerForRemoteNotifications(std::move(done)); });

    const Run run = other({"update", "profiles", "theirs", "--register"});
    ASSERT_EQ(run.lines.size(), 2);
    EXPECT_EQ(run.lines.at(1), "pushes 0") << "the writer";

    // The folder watch reports the change without waiting for the regular look.
    // (A burst of reports is looked at once, a moment after the first.)
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            queue->advance(std::chrono::milliseconds(50));
            return pushes.received.size() >= 2;
        },
        1000));
    client->checkForChanges();
    queue->runUntilIdle();
    EXPECT_EQ(pushes.received.size(), 2);
}

TEST_F(FolderProcesses, AMissingFolderIsNoAccountAndIsNotMade)
{
    EXPECT_EQ(other({"status"}).lines, QStringList{"1"});
    EXPECT_EQ(other({"status"}, supportPath("unmounted")).lines, QStringList{"3"});
    EXPECT_FALSE(QFileInfo::exists(supportPath("unmounted")));
}

TEST_F(FolderProcesses, AWriterKilledMidSaveLeavesTheOldRecord)
{
    const Record old = saveHere(profiles("old"));
    // Allowed no file over 100 kB, the other process dies writing a 1 MB record.
    const Run run = other({"update", "profiles", "-", "--size", "1000000", "--file-size-limit", "100000"});
    EXPECT_EQ(run.status, QProcess::CrashExit);
    EXPECT_TRUE(QFileInfo::exists(share() + "/.lock")) << "it died holding the lock";

    const Record stored = *fetch(*queue, *client->privateCloudDatabase(), "profiles").value;
    EXPECT_EQ(stored, old);
    // The dead writer's lock does not stand in the way.
    EXPECT_EQ(saveHere(profiles("new", stored)).bytes("payload"), "new");
    EXPECT_EQ(QDir(share() + "/records").entryList({"*.json"}, QDir::Files), QStringList{"profiles.json"});
}

// Two clients under one host name whose process ids are not each other's (a sandbox, a
// cloned image): each waits while the other holds the lock, and no save lands over another.
TEST_F(FolderProcesses, ClientsOfOneHostNameInProcessNamespacesOfTheirOwnWaitForEachOther)
{
    const QStringList sandbox{"-pfu", "--mount-proc"};
    if (QProcess::execute("unshare", sandbox + QStringList{"true"}) != 0)
        GTEST_SKIP() << "no process namespaces of our own here";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VELMOR_CLOUD_FOLDER", share());

    // The other one holds the lock in its save, this one saves meanwhile: it waits, then
    // finds the other's record instead of writing over it.
    QProcess holder;
    holder.setProcessEnvironment(environment);
    holder.start("unshare", sandbox + QStringList{VELMOR_CLOUD_TOOL, "update", "profiles", "theirs", "--hold-ms", "1500"});
    ASSERT_TRUE(holder.waitForReadyRead(30'000));
    ASSERT_EQ(holder.readLine().trimmed(), "holding");
    EXPECT_EQ(save(*queue, *client->privateCloudDatabase(), profiles("mine")).code(), Error::Code::serverRecordChanged);
    ASSERT_TRUE(holder.waitForFinished(30'000));
    EXPECT_TRUE(holder.readLine().startsWith("saved ")) << "its save went through";
    const Record theirs = *fetch(*queue, *client->privateCloudDatabase(), "profiles").value;
    EXPECT_EQ(theirs.bytes("payload"), "theirs");

    // This one holds it while the other saves: the other waits until it is let go.
    const folder::Folder account = *folder::Folder::openAccount(share(), {});
    auto lock = std::make_unique<folder::FolderLock>(account);
    QProcess waiter;
    waiter.setProcessEnvironment(environment);
    waiter.start("unshare", sandbox + QStringList{VELMOR_CLOUD_TOOL, "update", "profiles", "later"});
    EXPECT_FALSE(waiter.waitForFinished(1'500)) << "it took a live lock";
    lock->confirmHeld();
    lock.reset();
    ASSERT_TRUE(waiter.waitForFinished(30'000));
    EXPECT_TRUE(waiter.readLine().startsWith("saved "));
    EXPECT_EQ(fetch(*queue, *client->privateCloudDatabase(), "profiles").value->bytes("payload"), "later");
}

} // namespace
