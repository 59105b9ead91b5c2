#include "TwoMachines.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;
using Call = cloud::MemoryCloud::Call;

namespace {

// Whichever machine changed the profiles last, both end with that change, after one
// upload from each and nothing sent back and forth; the other change is kept as a file.
TEST_F(TwoMachines, TheLaterEditWinsOnBothInEitherOrder)
{
    // B's data is older, so B takes A's profiles at start, dated as A's change.
    const auto b = makeMachine();
    queue->advance(1s);
    const auto a = startedMachine();
    b->sync->start();
    queue->advance(3s);
    ASSERT_EQ(b->store->makeSyncPayload(), a->store->makeSyncPayload());
    EXPECT_EQ(b->store->lastModifiedDate(), a->store->lastModifiedDate());

    struct Round {
        Machine& first;
        Machine& second;
        QString name;
    };
    for (const Round& round : {Round{*a, *b, "B"}, Round{*b, *a, "A"}}) {
        const int before = uploads();
        rename(round.first, "Earlier " + round.name);
        queue->advance(500ms);
        rename(round.second, "Later " + round.name);
        queue->advance(10s);
        EXPECT_EQ(userName(*a), "Later " + round.name);
        EXPECT_EQ(userName(*b), "Later " + round.name);
        EXPECT_EQ(cloud.storedRecord("profiles")->date("updatedAt"), round.second.store->lastModifiedDate());
        EXPECT_EQ(a->store->lastModifiedDate(), b->store->lastModifiedDate());
        EXPECT_EQ(uploads() - before, 2);
        queue->advance(60s);
        EXPECT_EQ(uploads() - before, 2);
        // Both changed the one profile while apart: the earlier change is kept as a file
        // where the later one was made.
        EXPECT_EQ(keptFiles(round.second), QStringList{"Earlier " + round.name + " (user profile).json"});
    }
    // Besides the subscription housekeeping, each tells of its one merge.
    for (const Machine* machine : {a.get(), b.get()}) {
        QStringList told = machine->messages;
        told.removeIf([](const QString& message) { return message.contains("subscription"); });
        ASSERT_EQ(told.size(), 1) << machine->messages.join('\n').toStdString();
        EXPECT_TRUE(told.first().startsWith("Cloud Sync Warning: Changes made on this computer and elsewhere were merged."));
    }
}

// A machine installed later starts with built-in profiles that nobody changed: they
// never win over the user's real profiles in the cloud, and are not sent there.
TEST_F(TwoMachines, AFreshInstallTakesTheRealProfilesAndNeverUploadsItsSeed)
{
    const auto a = startedMachine();
    rename(*a, "Dr. Real");
    queue->advance(3s);
    queue->advance(1h);
    const auto b = makeMachine();
    const int before = uploads();
    b->sync->start();
    queue->advance(3s);
    EXPECT_EQ(userName(*b).toStdString(), "Dr. Real");
    EXPECT_EQ(b->store->lastModifiedDate(), a->store->lastModifiedDate());
    queue->advance(60s);
    EXPECT_EQ(uploads(), before);
    EXPECT_EQ(userName(*a).toStdString(), "Dr. Real");
    EXPECT_EQ(cloud.storedRecord("profiles")->date("updatedAt"), a->store->lastModifiedDate());
}

} // namespace

namespace {

// A machine whose user made profiles before it ever reached the cloud takes the
// profiles there at its first contact and sends nothing over them; what its user
// made stays within reach as exchange files, named in the notice.
TEST_F(TwoMachines, AMachineEditedBeforeItsFirstSyncTakesTheCloudAndKeepsItsOwnAsFiles)
{
    const auto a = startedMachine();
    a->store->createUserProfile("TplUser1");
    rename(*a, "Dr. Real");
    queue->advance(3s);
    const QByteArray record = a->store->makeSyncPayload();

    // B's folder was away: a PACS profile and a user profile on it, an hour later.
    const auto b = makeMachine();
    queue->advance(1h);
    b->store->createPacsProfile("Night PACS");
    b->store->createUserProfile("BEdit");
    b->store->setMapping("tartarus", "01", b->store->activePacsProfile().tools.first().id, b->store->activeUserProfile().id);
    queue->advance(3s);
    const int before = uploads();
    notifier.requests.clear();
    b->sync->start();
    queue->advance(3s);

    EXPECT_EQ(uploads(), before);
    EXPECT_EQ(a->store->makeSyncPayload(), record);
    EXPECT_EQ(userNames(*b), userNames(*a));
    EXPECT_EQ(keptFiles(*b), (QStringList{"BEdit (user profile).json", "Night PACS (PACS profile).json"}));
    const QString told = QString("This computer took the profiles in iCloud at its first sync. The profiles made here "
                                 "before are kept in “%1”: “Night PACS (PACS profile).json”, “BEdit (user "
                                 "profile).json”. Import them with “Import User Profile…” and “Import PACS Profile…”.")
                             .arg(b->folder.path());
    EXPECT_TRUE(b->messages.contains("Cloud Sync Warning: " + told)) << b->messages.join('\n').toStdString();
    ASSERT_EQ(notifier.requests.size(), 1);
    // The built-in profiles and the default user profile are the ones B had, by name.
    EXPECT_EQ(notifier.requests.first().body.toStdString(),
              ("PACS profiles removed: Night PACS; User profiles added: Dr. Real; User profiles removed: BEdit; "
               "Active PACS profile: Synthesis; Active user profile: Dr. Real; " + told).toStdString());

    // Imported, B's profiles are back with their mapping, and now they travel.
    b->store->importPacsProfile(b->folder.filePath("Night PACS (PACS profile).json"));
    b->store->importUserProfile(b->folder.filePath("BEdit (user profile).json"));
    queue->advance(3s);
    EXPECT_EQ(userName(*a), "BEdit");
    EXPECT_EQ(a->store->activeUserProfile().mappings.size(), 1);
    EXPECT_EQ(a->store->activePacsProfile().name, "Night PACS");

    // Started again, B remembers the cloud: its later edits win as before, nothing is kept twice.
    b->sync.reset();
    open(*b);
    b->sync->start();
    queue->advance(3s);
    rename(*b, "BEdit again");
    queue->advance(3s);
    EXPECT_EQ(userName(*a), "BEdit again");
    EXPECT_EQ(keptFiles(*b).size(), 2);
}

// A record dated in the future counts as changed when each machine first saw it:
// the data is never dated later than the clock, and a later edit on either side wins,
// also after a restart.
TEST_F(TwoMachines, ARecordDatedInTheFutureBlocksNoLaterEdit)
{
    const auto a = startedMachine();
    const auto b = startedMachine();

    for (const QDateTime& future : {now().addDays(1), QDateTime(QDate(2036, 1, 1), QTime(0, 0), Qt::UTC)}) {
        cloud::Record record = *cloud.storedRecord("profiles");
        const QByteArray payload = a->store->makeSyncPayload();
        record.setValue("payload", QByteArray(payload).replace(userName(*a).toUtf8(), "From the future"));
        record.setValue("updatedAt", future);
        cloud.putRecord(record);
        a->sync->requestSyncNow();
        b->sync->requestSyncNow();
        queue->advance(3s);
        EXPECT_EQ(userName(*a), "From the future");
        EXPECT_EQ(userName(*b), "From the future");
        EXPECT_LE(a->store->lastModifiedDate(), now());
        EXPECT_LE(QFileInfo(a->store->fileURL()).lastModified().toUTC(), now());

        // An edit right after, with the record seen again before it goes up: it wins.
        rename(*a, "A later");
        a->sync->requestSyncNow();
        queue->advance(3s);
        EXPECT_EQ(userName(*a), "A later");
        EXPECT_EQ(userName(*b), "A later");

        rename(*b, "B later");
        queue->advance(3s);
        EXPECT_EQ(userName(*a), "B later");
        // A restart sends nothing dated in the future.
        a->sync.reset();
        open(*a);
        a->sync->start();
        queue->advance(3s);
        EXPECT_LE(cloud.storedRecord("profiles")->date("updatedAt"), now());
        EXPECT_EQ(userName(*a), "B later");
        EXPECT_EQ(userName(*b), "B later");
    }
}

// A profiles file dated in the future (left by a clock that was ahead) counts as
// changed now: another machine's later edit still reaches it.
TEST_F(TwoMachines, ALocalFileDatedInTheFutureCountsAsChangedNow)
{
    const auto a = startedMachine();
    const auto b = startedMachine();
    rename(*a, "A");
    queue->advance(3s);
    a->sync.reset();
    QFile file(a->store->fileURL());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(now().addYears(10), QFileDevice::FileModificationTime));
    file.close();
    open(*a);
    a->sync->start();
    queue->advance(3s);
    EXPECT_LE(a->store->lastModifiedDate(), now());
    rename(*b, "B after");
    queue->advance(3s);
    EXPECT_EQ(userName(*a), "B after");
}

} // namespace

namespace {

// What a machine remembers is per cloud account: for the account it synced with, a
// record of other profiles is a change made elsewhere, taken across a restart when
// nothing changed here, whatever its date; another account's record is a first contact.
TEST_F(TwoMachines, TheMemoryOfASyncIsPerCloudAccountAndOutlivesARestart)
{
    const auto a = makeMachine();
    a->sync->start();
    rename(*a, "A's own");
    queue->advance(3s);
    const auto c = makeMachine();
    rename(*c, "Restored elsewhere");
    cloud::Record foreign("VelmorProfiles", "profiles");
    foreign.setValue("payload", c->store->makeSyncPayload());
    foreign.setValue("updatedAt", a->store->lastModifiedDate()->addSecs(-60));

    cloud::Record stored = *cloud.storedRecord("profiles");
    stored.setValue("payload", foreign.bytes("payload").value());
    stored.setValue("updatedAt", foreign.date("updatedAt").value());
    // Made over the record as it stood, by a writer that says so.
    stored.setValue("replaces", stored.recordChangeTag().toUtf8());
    cloud.putRecord(stored);
    a->sync.reset();
    open(*a);
    int before = uploads();
    a->sync->start();
    queue->advance(3s);
    EXPECT_EQ(userName(*a), "Restored elsewhere");
    EXPECT_EQ(uploads(), before);
    EXPECT_TRUE(keptFiles(*a).isEmpty());
    rename(*a, "A's own");
    queue->advance(3s);
    EXPECT_EQ(cloud.storedRecord("profiles")->bytes("payload"), a->store->makeSyncPayload());

    const auto d = makeMachine();
    rename(*d, "Another account's");
    cloud.setUserRecordName("_another_folder");
    stored = *cloud.storedRecord("profiles");
    stored.setValue("payload", d->store->makeSyncPayload());
    stored.setValue("updatedAt", foreign.date("updatedAt").value());
    cloud.putRecord(stored);
    before = uploads();
    a->sync.reset();
    open(*a);
    a->sync->start();
    queue->advance(3s);
    EXPECT_EQ(userName(*a), "Another account's");
    EXPECT_EQ(uploads(), before);
    EXPECT_EQ(keptFiles(*a), QStringList{"A's own (user profile).json"});
}

} // namespace

namespace {

// A notice tells what the user has afterwards: the built-in Synthesis that B's store
// makes again after A deleted it comes back to A, told once, and every machine ends
// with the one profile; a restart adds no other.
TEST_F(TwoMachines, ANoticeTellsWhatTheUserThenHas)
{
    const auto a = startedMachine();
    const auto b = startedMachine();
    const auto synthesis = [](const Machine& machine) {
        for (const PacsProfile& profile : machine.store->pacsProfiles().get())
            if (profile.name == "Synthesis")
                return profile;
        return PacsProfile{};
    };
    notifier.requests.clear();
    a->store->deletePacsProfile(synthesis(*a));
    queue->advance(10s);
    // A deleted built-in stays deleted, on the other machine and after a restart.
    EXPECT_TRUE(synthesis(*b).id.isNull());
    QStringList told;
    for (const auto& request : notifier.requests)
        told << request.body;
    ASSERT_EQ(told.filter("Synthesis").size(), 1);
    EXPECT_TRUE(told.filter("Synthesis").first().startsWith("PACS profiles removed: Synthesis;"));
    notifier.requests.clear();

    a->sync.reset();
    open(*a);
    a->sync->start();
    queue->advance(3s);
    EXPECT_TRUE(synthesis(*a).id.isNull());
    for (const auto& request : notifier.requests)
        EXPECT_FALSE(request.body.contains("Synthesis")) << request.body.toStdString();
    EXPECT_EQ(a->store->makeSyncPayload(), b->store->makeSyncPayload());
}

} // namespace

namespace {

// cloud_sync.json names an account this data synced with.
bool remembersAnAccount(const QTemporaryDir& folder)
{
    QFile file(QDir(folder.path()).filePath("cloud_sync.json"));
    return file.open(QIODevice::ReadOnly) &&
           !QJsonDocument::fromJson(file.readAll())["syncedAccounts"].toArray().isEmpty();
}

// A first contact whose taken profiles could not be saved (a full disk) is not behind
// the machine: it says what went wrong, sends nothing, and the next start is a first
// contact again that keeps nothing twice and leaves the cloud's profiles in place.
TEST_F(TwoMachines, AFirstContactIsBehindAMachineOnlyOnceTheTakenProfilesAreSaved)
{
    const auto a = startedMachine();
    rename(*a, "Dr. Real");
    queue->advance(3s);
    const QByteArray record = a->store->makeSyncPayload();

    const auto disk = std::make_shared<ScriptedFileSystem>();
    auto b = std::make_unique<Machine>();
    open(*b, disk);
    queue->advance(1h);
    b->store->createUserProfile("BEdit");
    queue->advance(3s);
    disk->failNext("write profiles.json.velmor-*", "No space left on device", 1000);
    notifier.requests.clear();
    const int before = uploads();
    b->sync->start();
    queue->advance(5s);
    EXPECT_EQ(keptFiles(*b), QStringList{"BEdit (user profile).json"});
    EXPECT_FALSE(remembersAnAccount(b->folder));
    EXPECT_TRUE(notifier.requests.isEmpty());
    EXPECT_TRUE(b->messages.filter("Cloud Sync Warning").isEmpty()) << b->messages.join('\n').toStdString();
    EXPECT_EQ(b->messages.filter("Cloud Sync Error: The profiles in iCloud were not taken").size(), 1)
        << b->messages.join('\n').toStdString();
    // Asked again while the disk is still full: still nothing goes up.
    b->sync->requestSyncNow();
    queue->advance(5s);
    EXPECT_EQ(uploads(), before);
    EXPECT_EQ(a->store->makeSyncPayload(), record);

    // Room made, B starts again: a first contact again.
    b->sync.reset();
    b->store.reset();
    b->messages.clear();
    open(*b);
    b->sync->start();
    queue->advance(5s);
    EXPECT_EQ(userNames(*b), userNames(*a));
    EXPECT_EQ(keptFiles(*b), QStringList{"BEdit (user profile).json"});
    EXPECT_TRUE(remembersAnAccount(b->folder));
    EXPECT_EQ(b->messages.filter("Cloud Sync Warning: This computer took the profiles in iCloud").size(), 1);
    EXPECT_EQ(notifier.requests.size(), 1);
    EXPECT_EQ(uploads(), before);
    EXPECT_EQ(cloud.storedRecord("profiles")->bytes("payload"), record);
}

// The cloud folder replaced by another account's while Velmor runs: the next upload
// and the next "Sync Now" meet it as a restart would, a first contact that keeps
// this machine's profiles and sends nothing over the other account's.
TEST_F(TwoMachines, AnotherAccountMetWhileRunningIsAFirstContact)
{
    const auto b = startedMachine();
    rename(*b, "B's own");
    queue->advance(3s);
    const auto replaceAccount = [&](const QString& account, const QString& owner) {
        const auto other = makeMachine();
        rename(*other, owner);
        cloud.setUserRecordName(account);
        cloud::Record stored = *cloud.storedRecord("profiles");
        stored.setValue("payload", other->store->makeSyncPayload());
        stored.setValue("updatedAt", now().addDays(-1));
        cloud.putRecord(stored);
        return other->store->makeSyncPayload();
    };

    // An edit's upload finds the other account.
    const QByteArray first = replaceAccount("_second", "Second owner");
    const int before = uploads();
    rename(*b, "B edited");
    queue->advance(5s);
    EXPECT_EQ(uploads(), before);
    EXPECT_EQ(cloud.storedRecord("profiles")->bytes("payload"), first);
    EXPECT_EQ(userName(*b), "Second owner");
    EXPECT_EQ(keptFiles(*b), QStringList{"B edited (user profile).json"});

    // "Sync Now" finds a third.
    const QByteArray second = replaceAccount("_third", "Third owner");
    rename(*b, "B again");
    b->sync->requestSyncNow();
    queue->advance(500ms);
    queue->advance(5s);
    EXPECT_EQ(uploads(), before);
    EXPECT_EQ(cloud.storedRecord("profiles")->bytes("payload"), second);
    EXPECT_EQ(userName(*b), "Third owner");
    EXPECT_EQ(keptFiles(*b), (QStringList{"B again (user profile).json", "B edited (user profile).json"}));

    // From now on B's edits go to the account it met.
    rename(*b, "B's edit on the third");
    queue->advance(3s);
    EXPECT_EQ(uploads(), before + 1);
    EXPECT_EQ(cloud.storedRecord("profiles")->bytes("payload"), b->store->makeSyncPayload());
}

// Both machines drew their own "scan.svg": at B's first contact A's drawing wins like
// A's profiles, B's is kept beside it under a free name named in the notice, and
// nothing is uploaded over A's.
TEST_F(TwoMachines, AtAFirstContactTheCloudsIconsWinAndTheLocalDrawingIsKept)
{
    const QByteArray red = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 8 8"><rect width="8" fill="red"/></svg>)";
    const QByteArray blue = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 8 8"><rect width="8" fill="blue"/></svg>)";
    const auto drawScan = [&](Machine& machine, const QByteArray& svg) {
        writeFile(QDir(machine.folder.path()).filePath("Icons/scan.svg"), svg);
        RadiologyTool tool;
        tool.id = QUuid::createUuid();
        tool.name = "Scan";
        tool.iconSource = ToolIconSource::custom;
        tool.customIcon = "scan.svg";
        machine.store->upsertTool(tool, machine.store->activePacsProfile().id);
        queue->advance(3s);
    };
    const auto a = startedMachine();
    drawScan(*a, red);
    const auto iconInCloud = [&] { return readFile(cloud.storedRecord("scan")->asset("svgAsset")->filePath); };
    ASSERT_EQ(iconInCloud(), red);

    const auto b = makeMachine();
    queue->advance(1h);
    drawScan(*b, blue); // later than A's
    // An icon of the same drawing is no conflict.
    writeFile(QDir(b->folder.path()).filePath("Icons/same.svg"), red);
    const int before = uploads();
    notifier.requests.clear();
    b->sync->start();
    queue->advance(10s);

    const QDir icons(QDir(b->folder.path()).filePath("Icons"));
    EXPECT_EQ(readFile(icons.filePath("scan.svg")), red);
    EXPECT_EQ(readFile(icons.filePath("scan 2.svg")), blue);
    EXPECT_EQ(iconInCloud(), red);
    EXPECT_EQ(uploads(), before);
    const QString told = QString("This computer's own drawings of icons that iCloud has too are kept in “%1”: "
                                 "“scan 2.svg”.").arg(icons.path());
    EXPECT_EQ(b->messages.filter(told).size(), 1) << b->messages.join('\n').toStdString();
    ASSERT_EQ(notifier.requests.size(), 1);
    EXPECT_TRUE(notifier.requests.first().body.endsWith(told)) << notifier.requests.first().body.toStdString();
}

} // namespace
