// What other machines, accounts and people write into the shared folder is read as
// untrusted: a record that cannot be read or written back never stops this machine's
// uploads, ids held twice end unique, and "changed" means changed at the merge's grain.
#include "TwoMachines.h"

#include "platform/Text.h"
#include "store/PersistedProfiles.h"
#include "store/ProfileExchange.h"
#include "store/ProfileLookup.h"
#include "sync/CloudKitCalls.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <random>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;
using Call = cloud::MemoryCloud::Call;

namespace {

class UntrustedRecords : public TwoMachines {
protected:
    void SetUp() override
    {
        a = startedMachine();
        b = startedMachine();
        queue->advance(10s);
    }
    // The record as someone else left it: a payload and a date, nothing more; or, `overStored`,
    // naming the record stored now as the one it replaces, as this version writes.
    cloud::Record putPayload(const QByteArray& payload, bool overStored = false)
    {
        cloud::Record record(cloudkit::profilesRecordType, cloudkit::profilesRecordName);
        record.setValue("payload", payload);
        record.setValue("updatedAt", now());
        const std::optional<cloud::Record> stored = cloud.storedRecord("profiles");
        if (overStored && stored)
            record.setValue("replaces", stored->recordChangeTag().toUtf8());
        return cloud.putRecord(record);
    }
    QByteArray recordPayload() const { return cloud.storedRecord("profiles")->bytes("payload").value_or(""); }
    void syncBoth()
    {
        a->sync->requestSyncNow();
        b->sync->requestSyncNow();
        queue->advance(10s);
    }
    static int told(const Machine& machine, const QString& words)
    {
        return int(machine.messages.filter(words).size());
    }
    // The files of that kind beside profiles.json.
    static QStringList keptAs(const Machine& machine, const QString& kind)
    {
        return QDir(machine.folder.path()).entryList({"Profiles from iCloud (" + kind + ")*.json"}, QDir::Files);
    }
    static bool keeps(const Machine& machine, const QString& kind, const QByteArray& bytes)
    {
        const QStringList files = keptAs(machine, kind);
        return std::any_of(files.cbegin(), files.cend(), [&](const QString& file) {
            return readFile(QDir(machine.folder.path()).filePath(file)) == bytes;
        });
    }
    static PersistedProfiles documentOf(const Machine& machine)
    {
        const LoadResult profiles = machine.store->snapshot();
        PersistedProfiles document;
        document.pacsProfiles = profiles.pacsProfiles;
        document.userProfiles = profiles.userProfiles;
        document.activePacsProfileId = profiles.activePacsProfileId;
        document.activeUserProfileId = profiles.activeUserProfileId;
        return document;
    }
    static QByteArray compact(const PersistedProfiles& document)
    {
        return QJsonDocument(document.toJson()).toJson(QJsonDocument::Compact);
    }

    std::unique_ptr<Machine> a;
    std::unique_ptr<Machine> b;
};

QByteArray randomBytes(qsizetype size)
{
    std::mt19937 rng(68);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(rng());
    return bytes;
}

// Random bytes, JSON of the wrong types and nesting deeper than any reader follows: each
// is told once on each machine and kept as a file, the machines' profiles go up over it,
// and an edit made afterwards reaches the record and the other machine.
TEST_F(UntrustedRecords, AnUnreadablePayloadIsKeptToldOnceAndThisMachinesProfilesGoUpOverIt)
{
    QByteArray numberId = a->store->makeSyncPayload();
    numberId.replace(numberId.indexOf("\"id\": \""), 44, "\"id\": 42");
    const QList<std::pair<QString, QByteArray>> payloads{
        {"random bytes", randomBytes(4096)},
        {"a list where profiles are", R"({"version": 6, "pacsProfiles": "tools", "userProfiles": []})"},
        {"an id that is a number", numberId},
        {"nesting too deep", "{\"version\": 6, \"pacsProfiles\": " + QByteArray(200000, '[') + QByteArray(200000, ']') +
                                 ", \"userProfiles\": []}"},
    };
    for (const auto& [what, payload] : payloads) {
        SCOPED_TRACE(what.toStdString());
        ASSERT_FALSE(decodePayload(payload));
        a->messages.clear();
        b->messages.clear();
        putPayload(payload);
        syncBoth();
        for (const Machine* machine : {a.get(), b.get()}) {
            EXPECT_EQ(told(*machine, "The profiles in iCloud cannot be read."), 1) << machine->messages.join('\n').toStdString();
            EXPECT_TRUE(keeps(*machine, "unreadable", payload));
        }
        ASSERT_TRUE(decodePayload(recordPayload()));
        EXPECT_EQ(a->store->makeSyncPayload(), b->store->makeSyncPayload());

        rename(*b, "After " + what);
        queue->advance(10s);
        EXPECT_EQ(userName(*a), "After " + what);
        EXPECT_EQ(decodePayload(recordPayload())->userProfiles, b->store->userProfiles().get());
        syncBoth();
        EXPECT_EQ(told(*a, "cannot be read"), 1);
        EXPECT_EQ(told(*b, "cannot be read"), 1);
    }
}

// An upload over an unreadable record that fails is tried again at the next Sync Now,
// without telling the record again; the edit made meanwhile goes up with it.
TEST_F(UntrustedRecords, AnUnreadableRecordMetAgainIsNotToldAgainAndStillGetsTheUpload)
{
    putPayload(randomBytes(100));
    cloud.failNext(Call::saveRecord, cloud::Error(cloud::Error::Code::serviceUnavailable));
    b->sync->requestSyncNow();
    queue->advance(10s);
    EXPECT_FALSE(decodePayload(recordPayload()));
    rename(*b, "Made meanwhile");
    queue->advance(10s);
    b->sync->requestSyncNow();
    queue->advance(10s);
    EXPECT_EQ(told(*b, "cannot be read"), 1) << b->messages.join('\n').toStdString();
    EXPECT_EQ(recordPayload(), b->store->makeSyncPayload());
    a->sync->requestSyncNow();
    queue->advance(10s);
    EXPECT_EQ(userName(*a), "Made meanwhile");
    EXPECT_EQ(told(*a, "cannot be read"), 0);
}

// A machine that never synced meets an unreadable record: its untouched profiles do not
// go over it (they would replace every machine's); a synced machine's do, and the new
// machine then takes those.
TEST_F(UntrustedRecords, AMachineThatNeverSyncedSendsNothingOverAnUnreadableRecord)
{
    rename(*a, "Real work");
    queue->advance(10s);
    putPayload(randomBytes(64));
    const int before = uploads();
    const auto c = startedMachine();
    queue->advance(10s);
    EXPECT_EQ(uploads(), before);
    EXPECT_EQ(told(*c, "This computer has not synced its profiles yet"), 1) << c->messages.join('\n').toStdString();
    EXPECT_TRUE(keeps(*c, "unreadable", randomBytes(64)));
    a->sync->requestSyncNow();
    queue->advance(10s);
    EXPECT_EQ(told(*a, "This computer's profiles are uploaded in their place."), 1);
    c->sync->requestSyncNow();
    queue->advance(10s);
    EXPECT_EQ(userName(*c), "Real work");
    EXPECT_EQ(recordPayload(), a->store->makeSyncPayload());
}

// A record whose profiles, written as Velmor writes them, would not fit in a record is
// refused before it is taken, told with its size and the limit, kept as a file; this
// machine's own work goes up in its place, whether it changed meanwhile or not.
TEST_F(UntrustedRecords, ARecordTooLargeToWriteBackIsRefusedAndThisMachinesWorkGoesUp)
{
    PersistedProfiles huge = documentOf(*a);
    PacsProfile many{QUuid::createUuid(), "Many", {}, std::nullopt};
    for (int i = 0; i < 3000; ++i) {
        RadiologyTool tool;
        tool.id = QUuid::createUuid();
        tool.name = QString("Tool %1").arg(i);
        many.tools.append(tool);
    }
    huge.pacsProfiles.append(many);
    const QByteArray payload = compact(huge);
    const qint64 written = huge.encode().size();
    // Read, it fits; written back as this machine writes it, it would not.
    const qint64 room = (payload.size() + written) / 2;
    ASSERT_GT(room, qint64(b->store->makeSyncPayload().size()));
    cloud.setMaxRecordBytes(room / 3 * 4 + 16 * 1024);

    putPayload(payload);
    b->sync->requestSyncNow();
    queue->advance(10s);
    ASSERT_EQ(told(*b, "The profiles in iCloud were not taken"), 1) << b->messages.join('\n').toStdString();
    const QString notice = b->messages.filter("were not taken").first();
    const auto size = [](qint64 bytes) { return QLocale::c().formattedDataSize(bytes, 1); };
    EXPECT_TRUE(notice.contains("iCloud takes records of at most " + size(room / 3 * 4 + 16 * 1024))) << notice.toStdString();
    EXPECT_TRUE(notice.contains("they would make a record of " + size((written + 2) / 3 * 4 + 16 * 1024)))
        << notice.toStdString();
    EXPECT_TRUE(keeps(*b, "too large", payload));
    EXPECT_EQ(findById(b->store->pacsProfiles().get(), many.id), nullptr);
    EXPECT_EQ(recordPayload(), b->store->makeSyncPayload());

    // Again, with an edit here that had not gone up: the two are not merged, the edit goes up.
    putPayload(payload);
    cloud.failNext(Call::saveRecord, cloud::Error(cloud::Error::Code::serviceUnavailable));
    rename(*b, "Not merged into it");
    queue->advance(10s);
    b->sync->requestSyncNow();
    queue->advance(10s);
    EXPECT_EQ(told(*b, "were not taken"), 2);
    EXPECT_EQ(recordPayload(), b->store->makeSyncPayload());
    EXPECT_EQ(userName(*b), "Not merged into it");
    a->sync->requestSyncNow();
    queue->advance(10s);
    EXPECT_EQ(userName(*a), "Not merged into it");
}

// A record holding two user profiles and two PACS profiles under one id each: every one
// stays on every machine under an id of its own, the record ends with unique ids, and
// the merge's notice names the record's profiles as coming from iCloud.
TEST_F(UntrustedRecords, ProfilesHeldTwiceInARecordStayUniqueAndAreNamedAsTheRecords)
{
    PersistedProfiles twice = documentOf(*a);
    UserProfile alice = twice.userProfiles.first();
    alice.id = QUuid::createUuid();
    alice.name = "Alice";
    UserProfile twin = alice;
    twin.name = "Alice twin";
    PacsProfile night = twice.pacsProfiles.first();
    night.id = QUuid::createUuid();
    night.name = "Night";
    PacsProfile nightTwin = night;
    nightTwin.name = "Night twin";
    twice.userProfiles << alice << twin;
    twice.pacsProfiles << night << nightTwin;

    // B renamed its own profile while the record was changed: the two are merged.
    cloud.failNext(Call::saveRecord, cloud::Error(cloud::Error::Code::serviceUnavailable));
    rename(*b, "B's own");
    queue->advance(10s);
    putPayload(twice.encode());
    notifier.requests.clear();
    syncBoth();

    for (const Machine* machine : {a.get(), b.get()}) {
        const QStringList users = userNames(*machine);
        EXPECT_TRUE(users.contains("Alice") && users.contains("Alice twin") && users.contains("B's own"))
            << users.join(", ").toStdString();
        QStringList pacs;
        for (const PacsProfile& profile : machine->store->pacsProfiles().get())
            pacs << profile.name;
        EXPECT_TRUE(pacs.contains("Night") && pacs.contains("Night twin")) << pacs.join(", ").toStdString();
        EXPECT_EQ(idsOf(machine->store->userProfiles().get()).size(), machine->store->userProfiles().get().size());
        EXPECT_EQ(idsOf(machine->store->pacsProfiles().get()).size(), machine->store->pacsProfiles().get().size());
    }
    EXPECT_EQ(a->store->makeSyncPayload(), b->store->makeSyncPayload());
    EXPECT_EQ(recordPayload(), b->store->makeSyncPayload());
    QStringList merged;
    for (const auto& request : notifier.requests)
        if (request.title == "Velmor profiles merged")
            merged << request.body;
    ASSERT_EQ(merged.size(), 1);
    const QString body = merged.first();
    const qsizetype fromHere = body.indexOf("From this computer:");
    ASSERT_GE(fromHere, 0) << body.toStdString();
    EXPECT_TRUE(body.left(fromHere).contains("From iCloud: Alice, Alice twin")) << body.toStdString();
    EXPECT_FALSE(body.mid(fromHere).contains("Alice")) << body.toStdString();
    EXPECT_FALSE(body.mid(fromHere).contains("Night")) << body.toStdString();
    EXPECT_TRUE(body.mid(fromHere).contains("B's own")) << body.toStdString();

    // Taken where nothing changed meanwhile, the repair goes up as the taker's own change.
    twice.userProfiles = b->store->userProfiles().get();
    twice.userProfiles.last().id = twice.userProfiles.at(twice.userProfiles.size() - 2).id;
    putPayload(twice.encode(), true);
    syncBoth();
    EXPECT_EQ(userNames(*a), userNames(*b));
    EXPECT_EQ(recordPayload(), a->store->makeSyncPayload());
    const QJsonArray users = QJsonDocument::fromJson(recordPayload())["userProfiles"].toArray();
    QSet<QString> ids;
    for (const QJsonValue user : users)
        ids.insert(user["id"].toString());
    EXPECT_EQ(ids.size(), users.size());
    EXPECT_EQ(users.size(), twice.userProfiles.size());
}

// A user profile, and a PACS profile, deleted on A while B mapped a button of theirs again
// to the tool it ran: nothing changed at the merge's grain, so both stay deleted everywhere.
TEST_F(UntrustedRecords, AButtonMappedAgainToItsToolUndoesNoDeletionMadeElsewhere)
{
    const QUuid tool = a->store->activePacsProfile().tools.first().id;
    a->store->createUserProfile("Doomed");
    a->store->setMapping("tartarus", "01", tool, a->store->activeUserProfile().id);
    a->store->createPacsProfile("Doomed PACS");
    const QUuid doomedPacs = a->store->activePacsProfile().id;
    a->store->createUserProfile("On doomed PACS", doomedPacs);
    const QUuid pacsTool = a->store->activePacsProfile().tools.first().id;
    a->store->setMapping("tartarus", "02", pacsTool, a->store->activeUserProfile().id);
    queue->advance(10s);
    ASSERT_TRUE(userNames(*b).contains("Doomed"));

    // B maps both buttons again to the tools they ran; its upload fails.
    const auto idOf = [](const Machine& machine, const QString& name) {
        for (const UserProfile& profile : machine.store->userProfiles().get())
            if (profile.name == name)
                return profile.id;
        return QUuid();
    };
    cloud.failNext(Call::saveRecord, cloud::Error(cloud::Error::Code::serviceUnavailable));
    b->store->setMapping("tartarus", "01", tool, idOf(*b, "Doomed"));
    b->store->setMapping("tartarus", "02", pacsTool, idOf(*b, "On doomed PACS"));
    queue->advance(10s);
    a->store->deleteUserProfile(idOf(*a, "Doomed"));
    a->store->deletePacsProfile(*findById(a->store->pacsProfiles().get(), doomedPacs));
    queue->advance(10s);
    syncBoth();

    for (const Machine* machine : {a.get(), b.get()}) {
        EXPECT_FALSE(userNames(*machine).contains("Doomed"));
        EXPECT_EQ(findById(machine->store->pacsProfiles().get(), doomedPacs), nullptr);
        EXPECT_TRUE(keptFiles(*machine).isEmpty());
        EXPECT_TRUE(machine->messages.filter("kept").isEmpty()) << machine->messages.join('\n').toStdString();
    }
    EXPECT_EQ(a->store->makeSyncPayload(), b->store->makeSyncPayload());
    for (const auto& request : notifier.requests)
        EXPECT_FALSE(request.body.contains("Deleted on one side but kept")) << request.body.toStdString();
}

} // namespace

namespace {

// B made and chose a profile of its own while its uploads failed, A chose another later:
// the merge runs A's, and its notice says which user and PACS profile B now has.
TEST_F(UntrustedRecords, AMergeThatSwitchesTheActiveProfilesSaysSo)
{
    cloud.failNext(Call::saveRecord, cloud::Error(cloud::Error::Code::serviceUnavailable));
    b->store->createPacsProfile("B PACS");
    b->store->createUserProfile("B only profile");
    queue->advance(10s);
    a->store->createUserProfile("A later profile");
    queue->advance(10s);
    ASSERT_EQ(userName(*b), "A later profile");
    const QString pacs = b->store->activePacsProfile().name;
    ASSERT_NE(pacs, "B PACS");
    QStringList merged;
    for (const auto& request : notifier.requests)
        if (request.title == "Velmor profiles merged")
            merged << request.body;
    ASSERT_EQ(merged.size(), 1);
    EXPECT_TRUE(merged.first().endsWith(" Active PACS profile: " + pacs + ". Active user profile: A later profile."))
        << merged.first().toStdString();
}

} // namespace

namespace {

// An older copy of the record put back (a restored backup), dated before the state both
// machines last synced, while neither changed anything since: both take it as a restore,
// each keeps its newer versions of what it changes as importable files and says so, and
// an edit afterwards travels as usual.
TEST_F(UntrustedRecords, ARecordPutBackFromBeforeTheLastSyncTakesNothingUnseen)
{
    const cloud::Record old = *cloud.storedRecord("profiles");
    const QString oldName = userName(*a);
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = "Made this hour";
    a->store->upsertTool(tool, a->store->activePacsProfile().id);
    rename(*a, "Renamed this hour");
    queue->advance(1h);
    ASSERT_EQ(userName(*b), "Renamed this hour");

    cloud.putBack(old);
    syncBoth();
    for (const Machine* machine : {a.get(), b.get()}) {
        EXPECT_EQ(userName(*machine), oldName);
        const QStringList files = keptFiles(*machine);
        ASSERT_EQ(files.size(), 2) << files.join(", ").toStdString();
        const QDir folder(machine->folder.path());
        const QString pacsFile = files.filter("(PACS profile)").value(0);
        const QString userFile = files.filter("(user profile)").value(0);
        EXPECT_EQ(ProfileExchange::decodeUserProfile(readFile(folder.filePath(userFile))).profile.name,
                  "Renamed this hour");
        const QList<RadiologyTool> keptTools = ProfileExchange::decodePacsProfile(readFile(folder.filePath(pacsFile))).tools;
        EXPECT_TRUE(findById(keptTools, tool.id));
        const QStringList told = machine->messages.filter("older than the ones this computer last synced");
        ASSERT_EQ(told.size(), 1) << machine->messages.join('\n').toStdString();
        EXPECT_TRUE(told.first().startsWith("Cloud Sync Warning: The profiles in iCloud (dated "));
        EXPECT_TRUE(told.first().contains("they are taken as a restore"));
        EXPECT_TRUE(told.first().contains("“" + userFile + "”")) << told.first().toStdString();
    }
    EXPECT_EQ(a->store->makeSyncPayload(), b->store->makeSyncPayload());

    // From the restore on, edits travel as before, and nothing more is kept or told.
    rename(*b, "After the restore");
    queue->advance(10s);
    EXPECT_EQ(userName(*a), "After the restore");
    EXPECT_EQ(keptFiles(*a).size(), 2);
    EXPECT_EQ(a->messages.filter("older than").size(), 1);
}

} // namespace

namespace {

// A record that another writer changes every 100 ms for 10 s: its notifications are
// gathered, at most one every few seconds, and the last one names what B then has.
TEST_F(UntrustedRecords, NotificationsOfARecordChangingTenTimesASecondAreGatheredNeverLost)
{
    a->sync.reset(); // B's notifications alone
    const std::shared_ptr<cloud::Container> writer = cloud.makeClient();
    const QByteArray payload = b->store->makeSyncPayload();
    const QByteArray name = "\"name\": \"" + userName(*b).toUtf8() + "\"";
    notifier.requests.clear();
    int saved = 0;
    for (int i = 0; i < 100; ++i) {
        cloud::Record record = *cloud.storedRecord("profiles");
        record.setValue("payload", QByteArray(payload).replace(name, "\"name\": \"Name " + QByteArray::number(i) + "\""));
        record.setValue("updatedAt", now());
        writer->privateCloudDatabase()->saveRecord(record, [&saved](auto value, auto) { saved += value ? 1 : 0; });
        queue->advance(100ms);
    }
    const int during = int(notifier.requests.size());
    queue->advance(30s);
    ASSERT_GE(saved, 90);
    EXPECT_EQ(userName(*b), "Name 99");
    // The first at once, then one at the end of each interval in which more came.
    EXPECT_LE(during, 3);
    ASSERT_LE(notifier.requests.size(), 4);
    ASSERT_GE(notifier.requests.size(), 2);
    EXPECT_TRUE(notifier.requests.last().body.contains("Name 99")) << notifier.requests.last().body.toStdString();
    // What was told first and last covers the whole change.
    EXPECT_TRUE(notifier.requests.first().body.contains("User profiles")) << notifier.requests.first().body.toStdString();
}

} // namespace

namespace {

// Another machine's name of any length is cut in every line of the merge's notice.
TEST_F(UntrustedRecords, AMergeNoticeCutsAVeryLongActiveProfileName)
{
    const QString name = QString(1'000'000, u'N');
    cloud.failNext(Call::saveRecord, cloud::Error(cloud::Error::Code::serviceUnavailable));
    b->store->createUserProfile("B only profile");
    queue->advance(10s);
    a->store->createUserProfile(name);
    queue->advance(10s);
    ASSERT_EQ(userName(*b), name);
    QStringList merged;
    for (const auto& request : notifier.requests)
        if (request.title == "Velmor profiles merged")
            merged << request.body;
    ASSERT_EQ(merged.size(), 1);
    EXPECT_LT(merged.first().size(), 2000);
    EXPECT_TRUE(merged.first().endsWith("Active user profile: " + name.left(text::longestShownName - 1) + "…."))
        << merged.first().left(300).toStdString();
}

} // namespace
