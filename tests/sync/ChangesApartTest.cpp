#include "TwoMachines.h"

#include "platform/Json.h"
#include "store/PersistedProfiles.h"
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

    disk->failNext("write profiles.json.velmor-*", "No space left on device", 1000);
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
    ASSERT_TRUE(b->store->hasUnsavedChanges());

    // Room again, then "Sync Now": the merge waiting in memory is saved, and goes up.
    disk->clearFailures();
    b->sync->requestSyncNow();
    queue->advance(10s);
    EXPECT_FALSE(b->store->hasUnsavedChanges());
    const PersistedProfiles onDisk =
        PersistedProfiles::fromJson(json::parse(readFile(QDir(b->folder.path()).filePath("profiles.json"))));
    QStringList saved;
    for (const UserProfile& profile : onDisk.userProfiles)
        saved.append(profile.name);
    EXPECT_TRUE(saved.contains("BOffline") && saved.contains("ALater")) << saved.join(", ").toStdString();
    EXPECT_NE(baseOf(*b), baseBefore);
    EXPECT_TRUE(recordUsers().contains("BOffline"));
    expectEverywhere(recordUsers());
}


// B stopped, as a machine that is off or away; its store opened again, not yet syncing.
class ChangesApartWhileOff : public ChangesApart {
protected:
    void stopB()
    {
        b->sync.reset();
        b->store.reset();
        queue->runUntilIdle();
    }
    QString basePath() const { return QDir(b->folder.path()).filePath(SyncBase::fileName); }
};

// A machine that changed nothing takes a changed record, whatever either side's date:
// an edit undone while away, and a clock two minutes ahead, at a sync and at a restart.
TEST_F(ChangesApartWhileOff, NothingChangedHereTakesTheRecordWhateverTheDates)
{
    stopB();
    a->store->renameUserProfile(userNamed(*a, "Shared").id, "From A");
    queue->advance(10s);
    open(*b);
    // Added and deleted again: the same profiles, dated after A's change.
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = "Undone";
    const QUuid pacs = b->store->activePacsProfile().id;
    b->store->upsertTool(tool, pacs);
    queue->advance(1s);
    b->store->deleteTool(tool.id, pacs);
    queue->advance(1s);
    ASSERT_GT(b->store->lastModifiedDate(), a->store->lastModifiedDate());
    int before = uploads();
    b->sync->start();
    queue->advance(10s);
    EXPECT_TRUE(userNames(*b).contains("From A"));
    expectEverywhere(userNames(*a));
    EXPECT_EQ(uploads(), before);

    // B's clock two minutes ahead: its own change is dated after A's next one.
    b->clockAhead = 120s;
    b->store->renameUserProfile(userNamed(*b, "From A").id, "B ahead");
    queue->advance(10s);
    a->store->renameUserProfile(userNamed(*a, "B ahead").id, "A after");
    queue->advance(10s);
    expectEverywhere(userNames(*a));
    EXPECT_TRUE(userNames(*a).contains("A after"));

    b->store->renameUserProfile(userNamed(*b, "A after").id, "B ahead again");
    queue->advance(10s);
    stopB();
    a->store->renameUserProfile(userNamed(*a, "B ahead again").id, "A while B is off");
    queue->advance(10s);
    before = uploads();
    open(*b);
    b->sync->start();
    queue->advance(10s);
    EXPECT_TRUE(userNames(*b).contains("A while B is off"));
    expectEverywhere(userNames(*a));
    EXPECT_EQ(uploads(), before);
    EXPECT_TRUE(keptFiles(*a).isEmpty());
    EXPECT_TRUE(keptFiles(*b).isEmpty());
}

// Without a usable base (missing, cut short, garbage), a profile made on each side
// stays, whichever side changed last.
TEST_F(ChangesApartWhileOff, WithoutABaseAProfileMadeOnEachSideStays)
{
    const QList<QByteArray> damages{QByteArray(), QByteArray("{\"account\":\"x"), QByteArray("\x01garbage\n\xff", 11)};
    int round = 0;
    for (const QByteArray& damage : damages) {
        for (const bool bLater : {false, true}) {
            SCOPED_TRACE(round);
            const QString madeOnA = QStringLiteral("A %1").arg(round);
            const QString madeOnB = QStringLiteral("B %1").arg(round++);
            stopB();
            QFile::remove(basePath());
            if (!damage.isNull())
                writeFile(basePath(), damage);
            if (bLater)
                a->store->createUserProfile(madeOnA);
            queue->advance(5s);
            open(*b);
            b->store->createUserProfile(madeOnB);
            queue->advance(5s);
            if (!bLater)
                a->store->createUserProfile(madeOnA);
            queue->advance(5s);
            b->sync->start();
            queue->advance(10s);
            EXPECT_TRUE(userNames(*b).contains(madeOnA));
            EXPECT_TRUE(userNames(*b).contains(madeOnB));
            expectEverywhere(userNames(*b));
            EXPECT_TRUE(keptFiles(*a).isEmpty());
        }
    }
}

// A merge carries the later of its sides' dates, not the time it ran, so that a third
// change made meanwhile stays later than it.
TEST_F(ChangesApart, AMergeIsDatedByTheLaterOfItsSides)
{
    takeBOffline();
    b->store->createUserProfile("B offline");
    queue->advance(3s);
    const QDateTime aChanged = now();
    a->store->createUserProfile("A later");
    queue->advance(30s);
    expectEverywhere(userNames(*a));
    EXPECT_EQ(b->store->lastModifiedDate(), aChanged);
    EXPECT_EQ(cloud.storedRecord("profiles")->date("updatedAt"), aChanged);
}

// A base that cannot be written (a folder in its place) is told once, naming the file
// and why; syncing goes on.
TEST_F(ChangesApartWhileOff, ABaseThatCannotBeWrittenIsToldOnce)
{
    stopB();
    QFile::remove(basePath());
    ASSERT_TRUE(QDir().mkpath(basePath()));
    open(*b);
    b->sync->start();
    queue->advance(5s);
    for (const char* name : {"First", "Second"}) {
        a->store->createUserProfile(name);
        queue->advance(10s);
        expectEverywhere(userNames(*a));
    }
    const QStringList told = b->messages.filter("could not be kept in");
    ASSERT_EQ(told.size(), 1) << b->messages.join('\n').toStdString();
    EXPECT_TRUE(told.first().startsWith("Cloud Sync Warning: "));
    EXPECT_TRUE(told.first().contains(QDir::toNativeSeparators(basePath())));
}

// Every button of every user profile runs a tool of the PACS profile it is bound to.
void expectWholeReferences(const ProfileStore& store)
{
    for (const UserProfile& user : store.userProfiles().get()) {
        const PacsProfile* pacs = nullptr;
        for (const PacsProfile& candidate : store.pacsProfiles().get())
            pacs = candidate.id == user.pacsProfileId ? &candidate : pacs;
        ASSERT_TRUE(pacs) << user.name.toStdString();
        for (const ButtonMapping& mapping : user.mappings) {
            EXPECT_TRUE(std::any_of(pacs->tools.cbegin(), pacs->tools.cend(),
                                    [&](const RadiologyTool& tool) { return tool.id == mapping.toolId; }))
                << user.name.toStdString() << " " << mapping.buttonId.toStdString();
        }
    }
}

RadiologyTool toolNamed(const QString& name)
{
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = name;
    tool.systemIcon = "circle";
    return tool;
}

// Tools added apart to one PACS profile and buttons mapped apart on one user profile
// all stay, with no kept file and no warning.
TEST_F(ChangesApart, ToolsAndButtonsAddedApartAllStayWithoutAWarning)
{
    const QUuid pacs = b->store->activePacsProfile().id;
    const QUuid user = userNamed(*b, "Shared").id;
    takeBOffline();
    const RadiologyTool onB = toolNamed("Added on B");
    b->store->upsertTool(onB, pacs);
    b->store->setMapping("keypad", "K01", onB.id, user);
    queue->advance(3s);
    const RadiologyTool onA = toolNamed("Added on A");
    a->store->upsertTool(onA, pacs);
    a->store->setMapping("keypad", "K02", onA.id, user);
    queue->advance(10s);
    expectEverywhere(userNames(*a));
    for (const Machine* machine : {a.get(), b.get()}) {
        const UserProfile& shared = userNamed(*machine, "Shared");
        QStringList buttons;
        for (const ButtonMapping& mapping : shared.mappings)
            buttons << mapping.buttonId + "→" + (mapping.toolId == onA.id ? "A" : mapping.toolId == onB.id ? "B" : "?");
        EXPECT_TRUE(buttons.contains("K01→B")) << buttons.join(' ').toStdString();
        EXPECT_TRUE(buttons.contains("K02→A")) << buttons.join(' ').toStdString();
        expectWholeReferences(*machine->store);
        EXPECT_TRUE(keptFiles(*machine).isEmpty());
        EXPECT_TRUE(machine->messages.filter("Warning").isEmpty()) << machine->messages.join('\n').toStdString();
    }
}

// A PACS profile deleted on A while B, offline, makes a user profile on it and maps its
// buttons: the PACS profile stays, and the new user profile's buttons run its own tools.
TEST_F(ChangesApart, AUserMadeElsewhereOnAPacsProfileDeletedHereKeepsItsButtons)
{
    a->store->createPacsProfile("Doomed");
    queue->advance(10s);
    const PacsProfile doomed = *std::find_if(b->store->pacsProfiles().get().cbegin(),
                                             b->store->pacsProfiles().get().cend(),
                                             [](const PacsProfile& p) { return p.name == "Doomed"; });
    ASSERT_FALSE(doomed.tools.isEmpty());
    takeBOffline();
    b->store->createUserProfile("On doomed", doomed.id);
    const QUuid made = userNamed(*b, "On doomed").id;
    b->store->setMapping("keypad", "K07", doomed.tools.first().id, made);
    queue->advance(3s);
    a->store->deletePacsProfile(doomed);
    queue->advance(10s);
    expectEverywhere(userNames(*a));
    for (const Machine* machine : {a.get(), b.get()}) {
        const UserProfile& user = userNamed(*machine, "On doomed");
        EXPECT_EQ(user.pacsProfileId, doomed.id);
        ASSERT_FALSE(user.mappings.isEmpty());
        expectWholeReferences(*machine->store);
    }
    EXPECT_TRUE(notifier.requests.last().body.contains("Doomed")) << notifier.requests.last().body.toStdString();
}

TEST_F(ChangesApart, ABuiltInDeletedOnBothWhileApartStaysDeleted)
{
    // Each deletes eUnity and stops before its upload; no start adds it back.
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
    EXPECT_EQ(names.count("eUnity"), 0);
    EXPECT_EQ(names.size(), 3);
    expectEverywhere(userNames(*a));
    EXPECT_TRUE(keptFiles(*a).isEmpty());
    EXPECT_TRUE(keptFiles(*b).isEmpty());
}

// A merge that keeps many versions names the first ten files and counts the rest; the
// Event Log names each.
TEST_F(ChangesApart, AWarningNamesTenKeptFilesAndCountsTheRest)
{
    QStringList logged;
    b->sync->onLog = [&logged](const QString& line) { logged << line; };
    QStringList pointed;
    b->sync->onNoticeLines = [&pointed](CloudKitProfileSync::NoticeLines kind, const QStringList& lines) {
        EXPECT_EQ(kind, CloudKitProfileSync::NoticeLines::keptFiles);
        pointed << lines;
    };
    for (int i = 0; i < 12; ++i)
        a->store->createUserProfile(QStringLiteral("Shared %1").arg(i));
    queue->advance(10s);
    const QList<UserProfile> users = b->store->userProfiles().get();
    ASSERT_GE(users.size(), 13);
    takeBOffline();
    for (const UserProfile& user : users)
        b->store->renameUserProfile(user.id, "B " + user.name);
    queue->advance(3s);
    for (const UserProfile& user : users)
        a->store->renameUserProfile(user.id, "A " + user.name);
    queue->advance(10s);
    expectEverywhere(userNames(*a));
    ASSERT_EQ(keptFiles(*b).size(), users.size());
    const QStringList warnings = b->messages.filter("Cloud Sync Warning: Changes made on this computer");
    ASSERT_EQ(warnings.size(), 1) << b->messages.join('\n').toStdString();
    EXPECT_EQ(warnings.first().count("(user profile)"), 10);
    EXPECT_TRUE(warnings.first().contains(
        QStringLiteral(" and %1 more (each named in the Event Log).").arg(users.size() - 10)));
    const QString keptIn = "Cloud Sync: Kept in “" + QDir::toNativeSeparators(b->folder.path()) + "”: “";
    QStringList named;
    for (const QString& line : pointed.filter(keptIn))
        named << line.sliced(keptIn.size()).chopped(1);
    QStringList files = keptFiles(*b);
    named.sort();
    files.sort();
    EXPECT_EQ(named, files) << pointed.join('\n').toStdString();
    // Handed over together, to be kept as the lines the notice points to, not as ordinary ones.
    EXPECT_EQ(pointed.size(), files.size());
    EXPECT_TRUE(logged.filter(keptIn).isEmpty());
}

} // namespace
