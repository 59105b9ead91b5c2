#include "StoreFixture.h"

#include "platform/Json.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;
using Op = ScriptedFileSystem::Op;
using NoticeList = QList<std::pair<QString, QString>>;

namespace {

class ProfileStoreTest : public StoreFixture {
protected:
    QStringList files() const { return QDir(supportDir.path()).entryList(QDir::Files, QDir::Name); }
    void clearFolder()
    {
        for (const QString& name : files())
            QFile::remove(supportPath(name));
    }
    // What a fresh start-up on the local disk finds.
    QStringList userNamesAtNextStart()
    {
        const ProfileStore next(std::make_shared<LocalFileSystem>());
        return namesOf(next.userProfiles().get());
    }
    void writeBackup(const PersistedProfiles& document)
    {
        writeFile(supportPath("profiles.json.backup"), json::encode(document.toJson()));
    }
    // Lets the start-up outcome arrive and forgets it.
    void settle()
    {
        queue->runUntilIdle();
        notices.clear();
        saveCalls = 0;
    }
    void renameUser(ProfileStore& store, const QString& name)
    {
        ProfileStoreSeed::userProfiles(store).mutate([&](QList<UserProfile>& users) { users.first().name = name; });
    }
    // A document the store accepts without changes, its user renamed.
    PersistedProfiles normalisedDocument(const QString& userName)
    {
        {
            const auto store = std::make_unique<ProfileStore>(std::make_shared<LocalFileSystem>());
        }
        PersistedProfiles document = profilesOnDisk();
        document.userProfiles.first().name = userName;
        clearFolder();
        queue->runUntilIdle();
        return document;
    }
};

TEST_F(ProfileStoreTest, FreshInstallWithoutSeedSavesTheBuiltInProfiles)
{
    const auto store = start();
    EXPECT_TRUE(store->isFreshInstall());
    const QList<PacsProfile> pacs = store->pacsProfiles().get();
    const QList<UserProfile> users = store->userProfiles().get();
    EXPECT_EQ(namesOf(pacs), (QStringList{"Synthesis", "Intelerad", "eUnity", "Change Healthcare"}));
    EXPECT_EQ(namesOf(users), QStringList{"Radiologist - General"});
    EXPECT_EQ(store->activeUserProfileId().get(), users.first().id);
    EXPECT_EQ(store->activePacsProfileId().get(), pacs.first().id);

    const PersistedProfiles onDisk = profilesOnDisk();
    EXPECT_EQ(onDisk, (PersistedProfiles{6, pacs.first().id, users.first().id, pacs, users}));
    EXPECT_EQ(files(), QStringList{"profiles.json"});

    // The outcome arrives on a later turn, to handlers installed after construction.
    EXPECT_FALSE(store->lastSaved().get());
    queue->runUntilIdle();
    EXPECT_TRUE(store->lastSaved().get());
    EXPECT_EQ(saveCalls, 1);
    EXPECT_TRUE(notices.isEmpty());
}

TEST_F(ProfileStoreTest, SeedServesWhenThereIsNoFile)
{
    const PersistedProfiles seed = normalisedDocument("Dr. Seed");
    addResource("SeedProfiles.json", json::encode(seed.toJson()));
    EXPECT_TRUE(start()->isFreshInstall());
    EXPECT_EQ(profilesOnDisk(), seed);
}

TEST_F(ProfileStoreTest, OlderVersionIsWrittenBackAndMissingActiveIdsTakeTheFirstProfiles)
{
    PersistedProfiles document = normalisedDocument("A");
    UserProfile second = document.userProfiles.first();
    second.id = QUuid::createUuid();
    second.name = "B";
    second.pacsProfileId = document.pacsProfiles.at(2).id; // eUnity
    document.userProfiles.prepend(second);
    document.version = 5;
    document.activePacsProfileId.reset();
    document.activeUserProfileId.reset();
    writeProfiles(document);

    const auto store = start();
    EXPECT_FALSE(store->isFreshInstall());
    EXPECT_EQ(store->activeUserProfileId().get(), second.id);
    EXPECT_EQ(store->activePacsProfileId().get(), second.pacsProfileId);
    const PersistedProfiles onDisk = profilesOnDisk();
    EXPECT_EQ(onDisk.version, 6);
    EXPECT_EQ(onDisk.activeUserProfileId, second.id);
    EXPECT_EQ(onDisk.userProfiles, document.userProfiles);
}

TEST_F(ProfileStoreTest, DamagedFileIsKeptAsideAndTheBackupServesBeforeTheSeed)
{
    const PersistedProfiles backup = normalisedDocument("Dr. Backup");
    addResource("SeedProfiles.json", json::encode(normalisedDocument("Dr. Seed").toJson()));
    writeBackup(backup);
    const QByteArray backupBytes = readFile(supportPath("profiles.json.backup"));
    writeProfiles(QByteArray("{\"version\": 6, \"pacsProfiles\": ["));

    auto store = start();
    EXPECT_FALSE(store->isFreshInstall());
    EXPECT_EQ(namesOf(store->userProfiles().get()), QStringList{"Dr. Backup"});
    EXPECT_EQ(readFile(supportPath("profiles.json.damaged")), "{\"version\": 6, \"pacsProfiles\": [");
    EXPECT_EQ(profilesOnDisk(), backup);
    EXPECT_EQ(readFile(supportPath("profiles.json.backup")), backupBytes);
    queue->runUntilIdle();
    EXPECT_EQ(notices, (NoticeList{{"Profile Data Warning",
                                    "The profiles file could not be read and was kept as profiles.json.damaged. "
                                    "Your profiles were loaded from the backup."}}));

    // Without a usable backup the seed comes next.
    notices.clear();
    writeFile(supportPath("profiles.json.backup"), "[]");
    writeProfiles(QByteArray("not json"));
    store = start();
    EXPECT_EQ(namesOf(store->userProfiles().get()), QStringList{"Dr. Seed"});
    EXPECT_EQ(readFile(supportPath("profiles.json.damaged")), "not json");
    queue->runUntilIdle();
    EXPECT_EQ(notices.value(0).second, "The profiles file could not be read and was kept as "
                                       "profiles.json.damaged. The default profiles were loaded.");
}

TEST_F(ProfileStoreTest, RecordedFilesLoadWithTheUsersOwnPacsProfileAndTheLegacyCopy)
{
    // A current file with a PACS profile the user made: it stays.
    const QByteArray current = readFile(dataPath("profiles-v6.json"));
    writeProfiles(current);
    auto store = start();
    EXPECT_EQ(namesOf(store->pacsProfiles().get()),
              (QStringList{"Synthesis", "Intelerad", "eUnity", "Change Healthcare", "Reading Station"}));
    EXPECT_EQ(profilesOnDisk().pacsProfiles, store->pacsProfiles().get());

    // A legacy file: migrated, written in the current format, the original kept.
    clearFolder();
    const QByteArray legacyBytes = readFile(dataPath("profiles-legacy.json"));
    writeProfiles(legacyBytes);
    store = start();
    EXPECT_EQ(namesOf(store->userProfiles().get()), QStringList{"Radiologist - General"});
    EXPECT_EQ(readFile(supportPath("profiles.json.legacy")), legacyBytes);
    EXPECT_EQ(readFile(supportPath("profiles.json.backup")), legacyBytes);
    EXPECT_EQ(profilesOnDisk().userProfiles, store->userProfiles().get());
}

TEST_F(ProfileStoreTest, FailedSaveKeepsTheLastGoodFileAndTheEdits)
{
    const QList<std::pair<Op, QString>> failures{{Op::write, "profiles.json.backup.tmp"},
                                                 {Op::rename, "profiles.json.backup.tmp"},
                                                 {Op::write, "profiles.json.tmp"},
                                                 {Op::read, "profiles.json.tmp"},
                                                 {Op::rename, "profiles.json.tmp"}};
    for (const auto& [op, fileName] : failures) {
        SCOPED_TRACE(fileName.toStdString());
        clearFolder();
        const auto store = start();
        settle();
        const auto lastSaved = store->lastSaved().get();

        renameUser(*store, "Edited");
        disk->failNext(op, fileName, "No space left on device");
        store->save();
        EXPECT_TRUE(notices.isEmpty());
        queue->runUntilIdle();
        EXPECT_EQ(notices, (NoticeList{{"Save Failed", "Failed to save profiles: No space left on device"}}));
        EXPECT_EQ(saveCalls, 0);
        EXPECT_EQ(store->lastSaved().get(), lastSaved);
        EXPECT_EQ(namesOf(store->userProfiles().get()), QStringList{"Edited"});
        EXPECT_TRUE(files().filter(".tmp").isEmpty()) << files().join(' ').toStdString();
        EXPECT_EQ(userNamesAtNextStart(), QStringList{"Radiologist - General"});

        // The next save writes everything again.
        store->save();
        EXPECT_EQ(userNamesAtNextStart(), QStringList{"Edited"});
        queue->runUntilIdle();
    }
}

TEST_F(ProfileStoreTest, BackupIsRestoredWhenTheFileIsGoneAfterAFailedSave)
{
    const PersistedProfiles backup = normalisedDocument("Dr. Backup");
    writeBackup(backup);
    writeProfiles(QByteArray("unreadable"));
    // Unreadable: moved aside whole, so profiles.json is missing when the start-up save fails.
    disk->failNext(Op::read, "profiles.json", "Permission denied");
    disk->failNext(Op::write, "profiles.json.tmp", "Disk quota exceeded");

    const auto store = start();
    queue->runUntilIdle();
    EXPECT_EQ(notices, (NoticeList{{"Profile Data Warning",
                                    "The profiles file could not be read and was kept as profiles.json.damaged. "
                                    "Your profiles were loaded from the backup."},
                                   {"Save Failed", "Failed to save profiles: Disk quota exceeded"},
                                   {"Restored from Backup", "Your previous profile data has been restored."}}));
    EXPECT_EQ(profilesOnDisk(), backup);
    EXPECT_EQ(readFile(supportPath("profiles.json.damaged")), "unreadable");
    EXPECT_EQ(userNamesAtNextStart(), QStringList{"Dr. Backup"});
}

TEST_F(ProfileStoreTest, OutcomeIsDeliveredLaterToTheHandlersInstalledThen)
{
    auto store = start();
    settle();

    // Handlers are read when the queued work runs.
    renameUser(*store, "Unsaved");
    disk->failNext(Op::write, "profiles.json.tmp", "Disk full");
    store->save();
    store->onError = nullptr;
    queue->runUntilIdle();
    EXPECT_TRUE(notices.isEmpty());
    disk->failNext(Op::write, "profiles.json.tmp", "Disk full");
    store->save();
    record(*store);
    queue->runUntilIdle();
    EXPECT_EQ(notices.size(), 1);

    // Two saves: both outcomes, in order.
    QList<std::optional<QDateTime>> savedTimes;
    const Subscription subscription =
        store->lastSaved().subscribe([&](const std::optional<QDateTime>& time) { savedTimes.append(time); });
    renameUser(*store, "One");
    store->save();
    renameUser(*store, "Two");
    store->save(true);
    EXPECT_EQ(savedTimes.size(), 1);
    queue->runUntilIdle();
    ASSERT_EQ(savedTimes.size(), 3);
    EXPECT_LE(*savedTimes[1], *savedTimes[2]);
    EXPECT_EQ(saveCalls, 1); // the second save suppressed it

    // A store gone before its outcome arrives: nothing is delivered.
    notices.clear();
    disk->failNext(Op::write, "profiles.json.tmp", "Disk full");
    renameUser(*store, "Three");
    store->save();
    store.reset();
    EXPECT_NO_FATAL_FAILURE(queue->runUntilIdle());
    EXPECT_TRUE(notices.isEmpty());
}

TEST_F(ProfileStoreTest, SaveWithNothingNewCountsAsSavedButWritesAndUploadsNothing)
{
    writeProfiles(normalisedDocument("Dr. A"));
    const auto fileTime = QFileInfo(profilesPath()).lastModified().toUTC();
    const auto store = start();
    queue->runUntilIdle();
    EXPECT_TRUE(disk->changes().isEmpty()) << disk->changes().join(',').toStdString();
    EXPECT_EQ(store->lastModifiedDate(), fileTime);

    int savedChanges = 0;
    const Subscription subscription = store->lastSaved().subscribe([&](const auto&) { ++savedChanges; });
    store->save();
    queue->runUntilIdle();
    EXPECT_TRUE(disk->changes().isEmpty());
    EXPECT_EQ(savedChanges, 2);
    EXPECT_TRUE(store->lastSaved().get());
    EXPECT_EQ(saveCalls, 0);
    EXPECT_EQ(store->lastModifiedDate(), fileTime);

    // Something new: written, uploaded, and the time sync compares moves on.
    renameUser(*store, "Dr. B");
    store->save();
    EXPECT_EQ(store->lastModifiedDate(), fileTime); // not before the outcome arrives
    queue->runUntilIdle();
    EXPECT_FALSE(disk->changes().isEmpty());
    EXPECT_EQ(saveCalls, 1);
    const auto written = store->lastModifiedDate();
    EXPECT_EQ(written, store->lastSaved().get());

    // Saved again unchanged: lastSaved moves, the modification date does not, and
    // nothing is read (nor encoded) to know it.
    disk->clearChanges();
    store->save();
    queue->runUntilIdle();
    EXPECT_TRUE(disk->changes().isEmpty());
    EXPECT_TRUE(disk->reads().isEmpty());
    EXPECT_EQ(saveCalls, 1);
    EXPECT_EQ(store->lastModifiedDate(), written);

    // An edit that leaves the document as it was writes nothing either.
    store->renameUserProfile(store->activeUserProfile().id, "Dr. B");
    queue->runUntilIdle();
    EXPECT_TRUE(disk->changes().isEmpty());
    EXPECT_EQ(saveCalls, 1);
}

TEST_F(ProfileStoreTest, ByteOrderMarkIsReadOnTheFileAndItsBackupAndNeverWritten)
{
    const QByteArray marked = "\xEF\xBB\xBF" + json::encode(normalisedDocument("Dr. Marked").toJson());
    writeProfiles(marked);
    auto store = start();
    queue->runUntilIdle();
    EXPECT_EQ(namesOf(store->userProfiles().get()), QStringList{"Dr. Marked"});
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_TRUE(disk->changes().isEmpty());

    // The next save writes the document without it; the backup is the file as it was.
    store->renameUserProfile(store->activeUserProfile().id, "Dr. Plain");
    EXPECT_TRUE(readFile(profilesPath()).startsWith('{'));
    EXPECT_EQ(readFile(supportPath("profiles.json.backup")), marked);

    // A damaged file, and a backup with the mark: the backup serves.
    store.reset();
    writeProfiles(QByteArray("garbage"));
    store = start();
    EXPECT_EQ(namesOf(store->userProfiles().get()), QStringList{"Dr. Marked"});
    EXPECT_TRUE(readFile(profilesPath()).startsWith('{'));
}

// Stops the program before each change a save makes to the disk; the next
// start-up must find the old or the new profiles, never the defaults.
TEST_F(ProfileStoreTest, CrashAtAnyStepOfASaveLosesNothing)
{
    for (int changes = 0;; ++changes) {
        SCOPED_TRACE(changes);
        clearFolder();
        writeBackup(normalisedDocument("Older"));
        writeProfiles(normalisedDocument("Old"));

        auto crashing = std::make_shared<ScriptedFileSystem>();
        auto store = std::make_unique<ProfileStore>(crashing);
        ASSERT_TRUE(crashing->changes().isEmpty());
        renameUser(*store, "New");
        crashing->crashAfter(changes);
        bool crashed = false;
        try {
            store->save();
        } catch (const SimulatedCrash&) {
            crashed = true;
        }
        store.reset();
        queue->runUntilIdle();

        const QStringList names = userNamesAtNextStart();
        EXPECT_TRUE(names == QStringList{"Old"} || names == QStringList{"New"}) << names.join(',').toStdString();
        if (!crashed) {
            EXPECT_EQ(names, QStringList{"New"});
            EXPECT_GE(changes, 4);
            break;
        }
    }
}

TEST_F(ProfileStoreTest, CrashWhileRecoveringADamagedFileKeepsTheBackup)
{
    const PersistedProfiles backup = normalisedDocument("Dr. Backup");
    for (int changes = 0;; ++changes) {
        SCOPED_TRACE(changes);
        clearFolder();
        writeBackup(backup);
        writeProfiles(QByteArray("garbage"));
        auto crashing = std::make_shared<ScriptedFileSystem>();
        crashing->crashAfter(changes);
        bool crashed = false;
        try {
            ProfileStore store(crashing);
        } catch (const SimulatedCrash&) {
            crashed = true;
        }
        queue->runUntilIdle();
        EXPECT_EQ(userNamesAtNextStart(), QStringList{"Dr. Backup"});
        if (!crashed)
            break;
    }
}

} // namespace
