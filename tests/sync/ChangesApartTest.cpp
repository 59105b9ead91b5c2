#include "TwoMachines.h"

#include "store/ProfileExchange.h"
#include "sync/SyncBase.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;
using Call = cloud::MemoryCloud::Call;

namespace {

// Two machines that synced, then changed while apart: one of them offline (its
// upload fails) or stopped before its upload.
class ChangesApart : public TwoMachines {
protected:
    void SetUp() override
    {
        a = startedMachine();
        a->store->createUserProfile("Shared");
        queue->advance(3s);
        b = startedMachine();
        ASSERT_EQ(userNames(*b), userNames(*a));
        queue->advance(60s);
    }

    // B's next upload fails, as with its share away.
    void takeBOffline() { cloud.failNext(Call::saveRecord, cloud::Error(cloud::Error::Code::serviceUnavailable)); }
    QStringList recordUsers() const
    {
        const std::optional<LoadResult> record = decodePayload(*cloud.storedRecord("profiles")->bytes("payload"));
        QStringList names;
        for (const UserProfile& profile : record->userProfiles)
            names.append(profile.name);
        names.sort();
        return names;
    }
    static std::optional<std::pair<SyncBase::Stamp, QByteArray>> baseOf(const Machine& machine)
    {
        return SyncBase::decode(readFile(QDir(machine.folder.path()).filePath(SyncBase::fileName)));
    }
    static const UserProfile& userNamed(const Machine& machine, const QString& name)
    {
        for (const UserProfile& profile : machine.store->userProfiles().get()) {
            if (profile.name == name)
                return profile;
        }
        throw std::runtime_error("no such user profile");
    }
    // Both machines and the record hold `names`, and one document.
    void expectEverywhere(const QStringList& names)
    {
        EXPECT_EQ(userNames(*a), names);
        EXPECT_EQ(userNames(*b), names);
        EXPECT_EQ(recordUsers(), names);
        EXPECT_EQ(a->store->makeSyncPayload(), b->store->makeSyncPayload());
    }

    std::unique_ptr<Machine> a;
    std::unique_ptr<Machine> b;
};

TEST_F(ChangesApart, AProfileMadeWhileTheUploadFailedSurvivesALaterChangeElsewhere)
{
    const QStringList before = userNames(*a);
    takeBOffline();
    b->store->createUserProfile("BOffline");
    queue->advance(3s);
    const auto baseBefore = baseOf(*b);
    ASSERT_TRUE(b->sync->isUploadOwed());
    // The failed upload leaves the base as it was.
    EXPECT_EQ(baseOf(*b), baseBefore);

    a->store->createUserProfile("ALater");
    notifier.requests.clear();
    queue->advance(10s);
    QStringList after = QStringList(before) << "ALater" << "BOffline";
    after.sort();
    expectEverywhere(after);
    EXPECT_TRUE(keptFiles(*b).isEmpty());
    // B tells what came in and what stayed.
    ASSERT_FALSE(notifier.requests.isEmpty());
    EXPECT_EQ(notifier.requests.first().title, "Velmor profiles merged");
    EXPECT_TRUE(notifier.requests.first().body.contains("From iCloud: ALater."));
    EXPECT_TRUE(notifier.requests.first().body.contains("From this computer: BOffline."));
    // Settled: the base is the record, and nothing more travels.
    const int uploadsThen = uploads();
    queue->advance(60s);
    EXPECT_EQ(uploads(), uploadsThen);
    EXPECT_EQ(baseOf(*b)->second, cloud.storedRecord("profiles")->bytes("payload"));
    EXPECT_EQ(baseOf(*b)->first.changeTag, cloud.storedRecord("profiles")->recordChangeTag());
}

TEST_F(ChangesApart, ARenameHereAndAProfileMadeElsewhereBothStay)
{
    const QUuid shared = userNamed(*b, "Shared").id;
    takeBOffline();
    b->store->renameUserProfile(shared, "Renamed on B");
    queue->advance(3s);
    a->store->createUserProfile("Made on A");
    queue->advance(10s);
    QStringList names = userNames(*a);
    EXPECT_TRUE(names.contains("Renamed on B"));
    EXPECT_TRUE(names.contains("Made on A"));
    EXPECT_FALSE(names.contains("Shared"));
    expectEverywhere(names);
}

TEST_F(ChangesApart, AProfileChangedOnBothSidesTakesTheLaterChangeAndKeepsTheOtherAsAFile)
{
    const QUuid shared = userNamed(*b, "Shared").id;
    takeBOffline();
    b->store->renameUserProfile(shared, "B's version");
    queue->advance(3s);
    a->store->renameUserProfile(shared, "A's version");
    queue->advance(10s);
    const QStringList names = userNames(*a);
    EXPECT_TRUE(names.contains("A's version"));
    EXPECT_FALSE(names.contains("B's version"));
    expectEverywhere(names);
    EXPECT_EQ(keptFiles(*b), QStringList{"B's version (user profile).json"});
    EXPECT_TRUE(keptFiles(*a).isEmpty());
    const UserProfileExport kept =
        ProfileExchange::decodeUserProfile(readFile(QDir(b->folder.path()).filePath(keptFiles(*b).first())));
    EXPECT_EQ(kept.profile.name, "B's version");
    EXPECT_TRUE(b->messages.filter("Cloud Sync Warning: Changes made on this computer and elsewhere were merged.")
                    .filter("B's version (user profile).json")
                    .size() == 1)
        << b->messages.join('\n').toStdString();
}

TEST_F(ChangesApart, AnEditSavedButNeverUploadedSurvivesARestartAndALaterChangeElsewhere)
{
    b->store->createUserProfile("B before the kill");
    // Saved, and stopped before its upload a second later.
    queue->advance(500ms);
    b->store->flush();
    const int uploadsBefore = uploads();
    b->sync.reset();
    b->store.reset();
    queue->runUntilIdle();
    EXPECT_EQ(uploads(), uploadsBefore);

    a->store->createUserProfile("A meanwhile");
    queue->advance(10s);
    open(*b);
    b->sync->start();
    queue->advance(10s);
    const QStringList names = userNames(*b);
    EXPECT_TRUE(names.contains("B before the kill"));
    EXPECT_TRUE(names.contains("A meanwhile"));
    expectEverywhere(names);
}

TEST_F(ChangesApart, AnEditAloneBeforeARestartGoesUpAtTheNextStart)
{
    b->store->createUserProfile("B alone");
    queue->advance(500ms);
    b->store->flush();
    b->sync.reset();
    b->store.reset();
    queue->runUntilIdle();
    open(*b);
    b->sync->start();
    queue->advance(10s);
    EXPECT_TRUE(recordUsers().contains("B alone"));
    expectEverywhere(userNames(*b));
    EXPECT_TRUE(keptFiles(*a).isEmpty());
    EXPECT_TRUE(keptFiles(*b).isEmpty());
}

TEST_F(ChangesApart, AMergeWhoseSaveFailedKeepsTheBaseAndSendsNothing)
{
    const auto disk = std::make_shared<ScriptedFileSystem>();
    b->sync.reset();
    b->store.reset();
    open(*b, disk);
    b->sync->start();
    queue->advance(3s);
    takeBOffline();
    b->store->createUserProfile("BOffline");
    queue->advance(3s);
    const auto baseBefore = baseOf(*b);
    ASSERT_TRUE(baseBefore);

    disk->failNext("write profiles.json.tmp", "No space left on device", 1000);
    a->store->createUserProfile("ALater");
    queue->advance(10s);
    EXPECT_EQ(baseOf(*b), baseBefore);
    EXPECT_FALSE(recordUsers().contains("BOffline"));
    EXPECT_EQ(b->messages.filter("Cloud Sync Error: The profiles in iCloud were merged with this computer's, but the "
                                 "merge could not be saved")
                  .size(),
              1)
        << b->messages.join('\n').toStdString();
    // Nothing went up over A's profiles meanwhile.
    EXPECT_TRUE(recordUsers().contains("ALater"));
}

TEST_F(ChangesApart, ABuiltInDeletedOnBothWhileApartComesBackOnce)
{
    // Each deletes eUnity and stops before its upload; each start adds it back.
    for (Machine* machine : {a.get(), b.get()}) {
        const QList<PacsProfile> pacs = machine->store->pacsProfiles().get();
        machine->store->deletePacsProfile(*std::find_if(pacs.begin(), pacs.end(),
                                                        [](const PacsProfile& p) { return p.name == "eUnity"; }));
        queue->advance(500ms);
        machine->store->flush();
        machine->sync.reset();
        machine->store.reset();
        queue->runUntilIdle();
    }
    for (Machine* machine : {a.get(), b.get()}) {
        open(*machine);
        machine->sync->start();
        queue->advance(10s);
    }
    queue->advance(60s);
    QStringList names;
    for (const PacsProfile& profile : a->store->pacsProfiles().get())
        names.append(profile.name);
    EXPECT_EQ(names.count("eUnity"), 1);
    EXPECT_EQ(names.size(), 4);
    expectEverywhere(userNames(*a));
    EXPECT_TRUE(keptFiles(*a).isEmpty());
    EXPECT_TRUE(keptFiles(*b).isEmpty());
}

} // namespace
