// Three machines on one cloud whose record is put back, numbered again, rewritten by
// a writer that keeps its fields, or written over: no edit goes unseen, and every
// machine ends with the same profiles.
#include "OfflineMachines.h"

#include "platform/Paths.h"
#include "store/FileSystem.h"
#include "store/ProfileLookup.h"
#include "sync/SyncMemory.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;

namespace {

class RecordHistory : public OfflineMachines {
protected:
    void SetUp() override
    {
        a = startedMachine();
        b = startedMachine();
        c = startedMachine();
        queue->advance(10s);
    }
    void TearDown() override
    {
        cloud.setHolding(false);
        cloud.releaseAll();
    }
    QList<Machine*> machines() const { return {a.get(), b.get(), c.get()}; }
    // Everyone online and synced twice over, as Sync Now on each would.
    void syncAll()
    {
        for (Machine* machine : machines())
            *offline(*machine) = false;
        for (int round = 0; round < 3; ++round) {
            for (Machine* machine : machines()) {
                machine->sync->requestSyncNow();
                queue->advance(5s);
            }
        }
    }
    static bool holdsUser(const Machine& machine, const QString& name) { return userNames(machine).contains(name); }
    // Some file kept beside the machine's profiles holds the text.
    static bool keeps(const Machine& machine, const QString& text)
    {
        const QDir folder(machine.folder.path());
        for (const QString& name : keptFiles(machine)) {
            QFile file(folder.filePath(name));
            if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text.toUtf8()))
                return true;
        }
        return false;
    }
    // The work is in the machine's profiles, or kept beside them and told.
    static void expectReachable(const Machine& machine, const QString& name, bool inProfiles, const char* who)
    {
        if (inProfiles)
            return;
        EXPECT_TRUE(keeps(machine, name)) << who << " keeps nothing of " << name.toStdString() << ": "
                                          << keptFiles(machine).join(", ").toStdString();
        EXPECT_FALSE(machine.messages.filter(name).isEmpty() && machine.messages.filter("kept in").isEmpty())
            << who << " was not told";
    }
    void expectConverged()
    {
        const QByteArray record = cloud.storedRecord("profiles")->bytes("payload").value_or("");
        for (Machine* machine : machines())
            EXPECT_EQ(machine->store->makeSyncPayload(), record);
    }
    // The machine's profiles with its active user profile named otherwise, as another writer writes them.
    QByteArray payloadNaming(const Machine& machine, const QString& name) const
    {
        const QByteArray was = "\"name\": \"" + userName(machine).toUtf8() + "\"";
        return machine.store->makeSyncPayload().replace(was, "\"name\": \"" + name.toUtf8() + "\"");
    }
    qint64 generation() const { return cloud.storedRecord("profiles")->integer("generation").value_or(-1); }
    // `payload` (none: a new install's) with a user profile named `name` added, as another writer saves it.
    QByteArray withUser(const QByteArray& payload, const QString& name)
    {
        QTemporaryDir folder;
        QFile file(QDir(folder.path()).filePath("profiles.json"));
        if (!payload.isEmpty() && (!file.open(QIODevice::WriteOnly) || file.write(payload) != payload.size()))
            return {};
        file.close();
        paths::setApplicationSupportOverride(folder.path());
        ProfileStore writer(std::make_shared<LocalFileSystem>());
        writer.clock = [this] { return now(); };
        writer.createUserProfile(name);
        paths::setApplicationSupportOverride(supportDir.path());
        return writer.makeSyncPayload();
    }

    std::unique_ptr<Machine> a, b, c;
};

// A kill between a save and its upload leaves profiles.json as this computer's own:
// the next start sends it as an edit, not as a restore over everyone's later work.
TEST_F(RecordHistory, ASavedEditIsThisComputersOwnBeforeItGoesUp)
{
    rename(*a, "Edited");
    queue->advance(300ms);
    ASSERT_FALSE(cloud.storedRecord("profiles")->bytes("payload").value_or("").contains("Edited"))
        << "the upload should still be waiting";
    EXPECT_EQ(SyncMemory(a->folder.path()).leftDocument(a->store->makeSyncPayload()), true);
}

// A makes X; a copy of the record from before it is put back while A is offline; B
// makes Y and uploads under the number A used, B's state being the copy (it was offline
// through X) or the restore it took (it had taken X). A's X is never removed unseen: A
// keeps it in its profiles or as a file it is told of.
class NumberUsedTwice : public RecordHistory, public ::testing::WithParamInterface<bool> {};

TEST_P(NumberUsedTwice, AfterARestoreTheEditIsKeptWhereItWasMade)
{
    const bool otherTookX = GetParam();
    const cloud::Record copy = *cloud.storedRecord("profiles");
    *offline(*b) = !otherTookX;
    a->store->createUserProfile("X");
    queue->advance(5s);
    ASSERT_TRUE(holdsUser(*c, "X"));
    ASSERT_EQ(holdsUser(*b, "X"), otherTookX);
    const qint64 numberOfX = generation();
    // Offline, C cannot answer B's upload before it is counted.
    *offline(*a) = *offline(*c) = true;
    cloud.putBack(copy);
    *offline(*b) = false;
    b->sync->requestSyncNow();
    queue->advance(5s);
    if (otherTookX) {
        EXPECT_FALSE(holdsUser(*b, "X"));
        EXPECT_TRUE(keeps(*b, "\"X\"")) << keptFiles(*b).join(", ").toStdString();
    }
    b->store->createUserProfile("Y");
    queue->advance(5s);
    if (!otherTookX) {
        ASSERT_EQ(generation(), numberOfX);
    }
    syncAll();

    expectConverged();
    for (Machine* machine : machines())
        EXPECT_TRUE(holdsUser(*machine, "Y"));
    expectReachable(*a, "\"X\"", holdsUser(*a, "X"), "A");
    expectReachable(*c, "\"X\"", holdsUser(*c, "X"), "C");
    // B's upload is later than what A last synced: a restore, not an older record.
    EXPECT_TRUE(a->messages.filter("older than").isEmpty()) << a->messages.join('\n').toStdString();
    // Taken or kept once, never told twice.
    for (Machine* machine : machines())
        EXPECT_LE(machine->messages.filter("restore").size(), 1) << machine->messages.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(OtherMachineTookTheEditOrNot, NumberUsedTwice, ::testing::Bool());

// Copies of two records are taken; the older is put back, so the numbers go down; B
// sets a lighting; then the newer copy is put back. B's lighting is kept and told, and
// B's upload was numbered above both copies.
TEST_F(RecordHistory, NumbersThatWentDownDoNotHideASecondRestore)
{
    rename(*a, "Two");
    queue->advance(5s);
    const cloud::Record two = *cloud.storedRecord("profiles");
    rename(*a, "Three");
    queue->advance(5s);
    rename(*a, "Four");
    queue->advance(5s);
    const cloud::Record four = *cloud.storedRecord("profiles");

    cloud.putBack(two);
    syncAll();
    for (Machine* machine : machines())
        ASSERT_EQ(userName(*machine), "Two");
    b->store->setLightingHex(QStringLiteral("#00FF00"), b->store->activeUserProfile().id);
    queue->advance(5s);
    EXPECT_GT(generation(), four.integer("generation").value());

    cloud.putBack(four);
    syncAll();
    expectConverged();
    EXPECT_EQ(userName(*b), "Four");
    EXPECT_TRUE(keeps(*b, "#00FF00")) << keptFiles(*b).join(", ").toStdString();
    EXPECT_EQ(b->messages.filter("restore").size(), 2) << b->messages.join('\n').toStdString();
}

// A writer that keeps the record's fields (its number, the history it names) puts an
// hour-old document back: the hour's tool stays and its rename is kept where it was made.
TEST_F(RecordHistory, AWriterThatKeepsTheNumberRevertsNothingUnseen)
{
    const QByteArray hourOld = cloud.storedRecord("profiles")->bytes("payload").value();
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = "Made this hour";
    a->store->upsertTool(tool, a->store->activePacsProfile().id);
    rename(*a, "Renamed this hour");
    queue->advance(1h);
    ASSERT_EQ(userName(*c), "Renamed this hour");

    cloud::Record rewritten = *cloud.storedRecord("profiles");
    rewritten.setValue("payload", hourOld);
    rewritten.setValue("updatedAt", now());
    cloud.putRecord(rewritten);
    syncAll();

    expectConverged();
    for (Machine* machine : machines())
        EXPECT_TRUE(findById(machine->store->activePacsProfile().tools, tool.id)) << userName(*machine).toStdString();
    expectReachable(*a, "Renamed this hour", userName(*a) == "Renamed this hour", "A");
}

// B's upload, made over the record A replaced a moment before, lands over A's (the
// folder's lock was taken from A): A's work is merged back in, on every machine.
TEST_F(RecordHistory, AnUploadThatLandsOverAnotherIsMergedNotTaken)
{
    cloud.setHolding(true);
    a->store->createUserProfile("FromA");
    queue->advance(100ms);
    b->store->createUserProfile("FromB");
    const auto saveAt = [this] { return int(cloud.heldCalls().indexOf("saveRecord profiles")); };
    // Every other call goes through until both saves wait.
    for (int turn = 0; turn < 100 && cloud.heldCalls().count("saveRecord profiles") < 2; ++turn) {
        const QStringList held = cloud.heldCalls();
        for (qsizetype i = held.size() - 1; i >= 0; --i) {
            if (held.at(i) != "saveRecord profiles")
                cloud.release(int(i));
        }
        queue->advance(200ms);
    }
    ASSERT_EQ(cloud.heldCalls().count("saveRecord profiles"), 2) << cloud.heldCalls().join(", ").toStdString();
    cloud.release(saveAt()); // A's
    cloud.landNextSavesOver(1);
    cloud.release(saveAt()); // B's, over the record A replaced
    cloud.setHolding(false);
    cloud.releaseAll();
    queue->advance(5s);
    syncAll();

    expectConverged();
    for (Machine* machine : machines()) {
        EXPECT_TRUE(holdsUser(*machine, "FromA")) << userNames(*machine).join(", ").toStdString();
        EXPECT_TRUE(holdsUser(*machine, "FromB")) << userNames(*machine).join(", ").toStdString();
    }
    for (const auto& request : notifier.requests)
        EXPECT_FALSE(request.body.contains("removed")) << request.body.toStdString();
}

// An older Velmor, or a hand edit, writes an earlier record's profiles plus a user of its
// own over a record holding a tool every machine synced, naming no history: without a
// number, or with the next one. The tool stays on every machine, the new user arrives
// everywhere, and the notices say so.
class NoHistory : public RecordHistory, public ::testing::WithParamInterface<bool> {};

TEST_P(NoHistory, ARecordNamingNoHistoryRemovesNothingSynced)
{
    const bool nextNumber = GetParam();
    const QByteArray earlier = cloud.storedRecord("profiles")->bytes("payload").value();
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = "Synced by everyone";
    a->store->upsertTool(tool, a->store->activePacsProfile().id);
    queue->advance(5s);
    for (Machine* machine : machines())
        ASSERT_TRUE(findById(machine->store->activePacsProfile().tools, tool.id));

    cloud::Record written = *cloud.storedRecord("profiles");
    written.setValue("payload", withUser(earlier, "From an older Velmor"));
    written.setValue("updatedAt", now());
    written.removeValue("replaces");
    written.removeValue("restores");
    if (nextNumber)
        written.setValue("generation", generation() + 1);
    else
        written.removeValue("generation");
    cloud.putRecord(written);
    syncAll();

    expectConverged();
    for (Machine* machine : machines()) {
        EXPECT_TRUE(findById(machine->store->activePacsProfile().tools, tool.id)) << userName(*machine).toStdString();
        EXPECT_TRUE(holdsUser(*machine, "From an older Velmor"));
        EXPECT_TRUE(machine->messages.filter("restore").isEmpty()) << machine->messages.join('\n').toStdString();
    }
    for (const auto& request : notifier.requests) {
        EXPECT_FALSE(request.body.contains("removed")) << request.body.toStdString();
        EXPECT_FALSE(request.body.contains(tool.name)) << request.body.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(WithoutNumberOrWithTheNext, NoHistory, ::testing::Bool());

// A copy of the record from the morning of a busy day, over a hundred uploads later, is
// still known as a copy put back: every machine takes it, keeps its own later version as
// a file and is told, once.
TEST_F(RecordHistory, ACopyFromOverAHundredUploadsAgoIsARestore)
{
    rename(*a, "Morning");
    queue->advance(5s);
    const cloud::Record morning = *cloud.storedRecord("profiles");
    const QList<Machine*> all = machines();
    for (int upload = 0; upload < 110; ++upload) {
        rename(*all.at(upload % 3), "Upload " + QString::number(upload));
        queue->advance(2s);
    }
    ASSERT_GT(generation(), morning.integer("generation").value() + 100);
    ASSERT_EQ(userName(*a), "Upload 109");

    cloud.putBack(morning);
    syncAll();

    expectConverged();
    for (Machine* machine : all) {
        EXPECT_EQ(userName(*machine), "Morning");
        EXPECT_TRUE(keeps(*machine, "Upload 109")) << keptFiles(*machine).join(", ").toStdString();
        EXPECT_EQ(machine->messages.filter("restore").size(), 1) << machine->messages.join('\n').toStdString();
    }
}

// Records numbered −5 and 2⁶², each made over the current record: they are taken, and
// the honest uploads after them are numbered from the numbers that can be ones, and
// taken everywhere as the next state, not as a restore.
TEST_F(RecordHistory, ANegativeOrHugeNumberNeverMakesHonestRecordsOlder)
{
    const qint64 honest = generation();
    for (const qint64 number : {qint64(-5), qint64(1) << 62}) {
        cloud::Record odd = *cloud.storedRecord("profiles");
        odd.setValue("payload", payloadNaming(*a, "Odd " + QString::number(number)));
        odd.setValue("updatedAt", now());
        odd.setValue("generation", number);
        odd.setValue("replaces", odd.recordChangeTag().toUtf8());
        cloud.putRecord(odd);
        syncAll();
        for (Machine* machine : machines())
            ASSERT_EQ(userName(*machine), "Odd " + QString::number(number));

        rename(*b, "After " + QString::number(number));
        queue->advance(5s);
        EXPECT_GT(generation(), honest);
        EXPECT_LT(generation(), honest + 10);
        syncAll();
        expectConverged();
        EXPECT_EQ(userName(*c), "After " + QString::number(number));
    }
    for (Machine* machine : machines()) {
        EXPECT_TRUE(machine->messages.filter("restore").isEmpty()) << machine->messages.join('\n').toStdString();
        EXPECT_TRUE(keptFiles(*machine).isEmpty());
    }
}

} // namespace

namespace {

// The admin's restore: Velmor stopped on A, profiles.json put back from a backup with
// `cp` (the file dated now) or `cp -p` (dated as backed up) while B changed the folder,
// in A's data folder or in a new one (a new disk: nothing of the sync's state there).
// Every machine ends with the backup's profiles; each keeps its later versions as files
// and is told, A too.
class AdminRestore : public RecordHistory, public ::testing::WithParamInterface<std::tuple<bool, bool>> {};

TEST_P(AdminRestore, ProfilesJsonPutBackGivesEveryMachineTheBackup)
{
    const auto [keepsDate, newDisk] = GetParam();
    rename(*a, "Backed up");
    queue->advance(5s);
    const QString file = QDir(a->folder.path()).filePath("profiles.json");
    const QByteArray backup = readFile(file);
    const QDateTime backedUpAt = QFileInfo(file).lastModified();
    rename(*a, "Later on A");
    queue->advance(5s);
    ASSERT_EQ(userName(*c), "Later on A");
    a->sync.reset();
    a->store.reset();
    b->store->createUserProfile("Later on B");
    queue->advance(5s);
    ASSERT_TRUE(holdsUser(*c, "Later on B"));

    if (newDisk) {
        ASSERT_TRUE(QDir(a->folder.path()).removeRecursively());
        ASSERT_TRUE(QDir().mkpath(a->folder.path()));
    }
    {
        QFile restored(file);
        ASSERT_TRUE(restored.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(restored.write(backup), backup.size());
        if (keepsDate) {
            ASSERT_TRUE(restored.setFileTime(backedUpAt, QFileDevice::FileModificationTime));
        }
    }
    open(*a);
    a->sync->start();
    queue->advance(5s);
    syncAll();

    expectConverged();
    for (Machine* machine : machines()) {
        EXPECT_EQ(userName(*machine), "Backed up");
        EXPECT_FALSE(holdsUser(*machine, "Later on B"));
    }
    EXPECT_TRUE(keeps(*a, "Later on A")) << keptFiles(*a).join(", ").toStdString();
    EXPECT_EQ(a->messages.filter("was changed while Velmor was stopped").size(), 1) << a->messages.join('\n').toStdString();
    for (Machine* machine : {b.get(), c.get()}) {
        EXPECT_TRUE(keeps(*machine, "Later on B")) << keptFiles(*machine).join(", ").toStdString();
        EXPECT_EQ(machine->messages.filter("restore").size(), 1) << machine->messages.join('\n').toStdString();
    }
    // From then on, edits travel as before.
    rename(*c, "After the restore");
    queue->advance(5s);
    EXPECT_EQ(userName(*a), "After the restore");
    EXPECT_EQ(userName(*b), "After the restore");
}

INSTANTIATE_TEST_SUITE_P(DatedNowOrAsBackedUpOnTheSameOrANewDisk, AdminRestore,
                         ::testing::Combine(::testing::Bool(), ::testing::Bool()));

// A profiles.json that shares no profile with the folder's, put alone in a new home, is
// no restore: the folder's profiles are taken, the file's kept, nothing goes over them.
TEST_F(RecordHistory, OtherProfilesPutInANewHomeAreAFirstContact)
{
    const QByteArray record = cloud.storedRecord("profiles")->bytes("payload").value();
    const int before = uploads();
    Machine d;
    const QByteArray elsewhere = withUser({}, "Made elsewhere");
    ASSERT_FALSE(elsewhere.isEmpty());
    writeFile(QDir(d.folder.path()).filePath("profiles.json"), elsewhere);
    open(d);
    d.sync->start();
    queue->advance(5s);

    EXPECT_EQ(d.store->makeSyncPayload(), record);
    EXPECT_EQ(cloud.storedRecord("profiles")->bytes("payload"), record);
    EXPECT_EQ(uploads(), before);
    EXPECT_TRUE(keeps(d, "Made elsewhere")) << keptFiles(d).join(", ").toStdString();
    EXPECT_TRUE(d.messages.filter("stopped").isEmpty()) << d.messages.join('\n').toStdString();
}

} // namespace
