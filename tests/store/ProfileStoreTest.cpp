#include "StoreFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimeZone>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;
using NoticeList = QList<std::pair<QString, QString>>;

namespace {

class ProfileStoreTest : public StoreFixture {
protected:
    // What a fresh start-up on the local disk finds.
    QStringList userNamesAtNextStart()
    {
        const ProfileStore next(std::make_shared<LocalFileSystem>());
        return namesOf(next.userProfiles().get());
    }
    // A document the store takes as it is, its user renamed; the folder is left empty.
    PersistedProfiles accepted(const QString& userName)
    {
        ProfileStore(std::make_shared<LocalFileSystem>());
        PersistedProfiles document = profilesOnDisk();
        document.userProfiles.first().name = userName;
        QFile::remove(profilesPath());
        queue->runUntilIdle();
        return document;
    }
};

TEST_F(ProfileStoreTest, OlderFormatsAreWrittenBackInTheCurrentOne)
{
    PersistedProfiles document = accepted("A");
    document.version = 5;
    writeProfiles(document);
    const auto store = start();
    EXPECT_FALSE(store->isFreshInstall());
    document.version = 6;
    EXPECT_EQ(profilesOnDisk(), document);
}

// The backup starts with a byte-order mark, which is read but never written.
TEST_F(ProfileStoreTest, DamagedFileGivesWayToTheBackupThenTheSeed)
{
    const PersistedProfiles backup = accepted("Dr. Backup");
    addResource("SeedProfiles.json", json::encode(accepted("Dr. Seed").toJson()));
    writeFile(supportPath("profiles.json.backup"), "\xEF\xBB\xBF" + json::encode(backup.toJson()));
    writeProfiles(QByteArray("{\"version\": 6, \"pacsProfiles\": ["));
    auto store = start();
    EXPECT_EQ(profilesOnDisk(), backup);
    EXPECT_TRUE(readFile(profilesPath()).startsWith('{'));
    queue->runUntilIdle();
    EXPECT_EQ(notices.size(), 1);

    // Without a usable backup the seed comes next.
    writeFile(supportPath("profiles.json.backup"), "[]");
    writeProfiles(QByteArray("not json"));
    store = start();
    EXPECT_EQ(namesOf(store->userProfiles().get()), QStringList{"Dr. Seed"});
}

// Nothing in place of profiles.json or its backup is opened unless it is a regular
// file or a link to one: a FIFO would block start-up for good. What is refused is
// kept aside like damage, and the warning says why.
TEST_F(ProfileStoreTest, AFifoFolderOrBrokenLinkInPlaceOfTheProfilesFileIsKeptAsideWithItsCause)
{
    const auto mkfifo = [](const QString& path) { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; };
    const QString damaged = supportPath("profiles.json.damaged");
    const QString kept = "The profiles file could not be used and was kept as profiles.json.damaged. ";
    const PersistedProfiles backup = accepted("Dr. Backup");
    writeFile(supportPath("profiles.json.backup"), json::encode(backup.toJson()));
    ASSERT_TRUE(mkfifo(profilesPath()));
    auto store = start();
    EXPECT_EQ(profilesOnDisk(), backup);
    EXPECT_EQ(QFileInfo(damaged).isFile(), false);
    EXPECT_TRUE(QFileInfo(damaged).exists());
    queue->runUntilIdle();
    EXPECT_EQ(notices, (NoticeList{{"Profile Data Warning", kept + "“" + profilesPath()
                                                               + "” is a FIFO, not a regular file. Your profiles "
                                                                 "were loaded from the backup."}}));

    // A link to nothing, and a link to a FIFO for a backup: defaults; the links are
    // moved aside, what they name is left alone.
    QTemporaryDir outside;
    ASSERT_TRUE(mkfifo(outside.filePath("pipe")));
    QFile::remove(damaged);
    QFile::remove(profilesPath());
    QFile::remove(supportPath("profiles.json.backup"));
    ASSERT_TRUE(QFile::link(outside.filePath("pipe"), supportPath("profiles.json.backup")));
    ASSERT_TRUE(QFile::link(outside.filePath("gone.json"), profilesPath()));
    notices.clear();
    store = start();
    EXPECT_EQ(namesOf(store->userProfiles().get()), QStringList{"Radiologist - General"});
    EXPECT_EQ(QFileInfo(damaged).symLinkTarget(), outside.filePath("gone.json"));
    EXPECT_TRUE(QFileInfo(profilesPath()).isFile() && !QFileInfo(profilesPath()).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(outside.filePath("gone.json")));
    queue->runUntilIdle();
    EXPECT_EQ(notices.value(0).second, kept + "“" + profilesPath() + "” is a link to “" + outside.filePath("gone.json")
                                           + "”, which does not exist. The default profiles were loaded.");

    // A folder: moved aside whole.
    QFile::remove(damaged);
    QFile::remove(profilesPath());
    ASSERT_TRUE(QDir(supportDir.path()).mkpath("profiles.json/inner"));
    notices.clear();
    store = start();
    EXPECT_TRUE(QFileInfo(supportPath("profiles.json.damaged/inner")).isDir());
    EXPECT_TRUE(QFileInfo(profilesPath()).isFile());
    queue->runUntilIdle();
    EXPECT_TRUE(notices.value(0).second.startsWith(kept + "“" + profilesPath() + "” is a folder, not a regular file."));
}

// The user keeps profiles.json in a folder of their own (dotfiles) and links it
// into the data folder, the backup too: both are read through their links, and a
// save replaces the targets, so the links stay and the linked copies stay current.
TEST_F(ProfileStoreTest, ALinkedProfilesFileIsReadThroughAndSavedToItsTarget)
{
    QTemporaryDir dotfiles;
    const QString mine = dotfiles.filePath("velmor/profiles.json");
    QDir().mkpath(dotfiles.filePath("velmor"));
    writeFile(mine, json::encode(accepted("Dr. Linked").toJson()));
    writeFile(dotfiles.filePath("backup.json"), "{}");
    // Through a link of the user's own in between, and a relative one.
    ASSERT_TRUE(QFile::link("velmor/profiles.json", dotfiles.filePath("current")));
    ASSERT_TRUE(QFile::link(dotfiles.filePath("current"), profilesPath()));
    ASSERT_TRUE(QFile::link(dotfiles.filePath("backup.json"), supportPath("profiles.json.backup")));

    auto store = start();
    EXPECT_EQ(namesOf(store->userProfiles().get()), QStringList{"Dr. Linked"});
    queue->runUntilIdle();
    EXPECT_TRUE(notices.isEmpty());

    renameUser(*store, "Dr. Edited");
    store->save();
    queue->runUntilIdle();
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_EQ(QFileInfo(profilesPath()).symLinkTarget(), dotfiles.filePath("current"));
    EXPECT_EQ(QFileInfo(dotfiles.filePath("current")).symLinkTarget(), mine);
    EXPECT_EQ(QFileInfo(supportPath("profiles.json.backup")).symLinkTarget(), dotfiles.filePath("backup.json"));
    EXPECT_EQ(namesOf(profilesOnDisk().userProfiles), QStringList{"Dr. Edited"});
    EXPECT_EQ(namesOf(profilesOnDisk("profiles.json.backup").userProfiles), QStringList{"Dr. Linked"});
    // Every temporary file went; the temporary of the target was beside it.
    EXPECT_EQ(QDir(dotfiles.filePath("velmor")).entryList(QDir::Files | QDir::Hidden), QStringList{"profiles.json"});
    EXPECT_EQ(files(), (QStringList{"profiles.json", "profiles.json.backup"}));
    EXPECT_TRUE(disk->changes().contains("rename profiles.json.velmor-* profiles.json"));
    EXPECT_EQ(userNamesAtNextStart(), QStringList{"Dr. Edited"});
}

// What writers killed mid-write left beside profiles.json and beside the file it links
// to goes at start; a running writer's file, and other files in the linked folder, stay.
// Any other link in the data folder (planted there) leads the sweep nowhere.
TEST_F(ProfileStoreTest, AtStartLeftoversOfEndedWritersGoAndARunningOnesStay)
{
    QTemporaryDir dotfiles;
    QTemporaryDir documents;
    writeFile(dotfiles.filePath("mine.json"), json::encode(accepted("Dr. Linked").toJson()));
    ASSERT_TRUE(QFile::link(dotfiles.filePath("mine.json"), profilesPath()));
    writeFile(documents.filePath("thesis.txt"), "chapter 1");
    ASSERT_TRUE(QFile::link(documents.filePath("thesis.txt"), supportPath("planted1")));
    ASSERT_TRUE(QFile::link(documents.filePath("thesis.txt"), supportPath("notes.json")));
    const QString dead = QString::number(endedProcess());
    const QString running = QString::number(::getppid());
    const QStringList gone{"profiles.json.backup.tmp.velmor-" + dead + "-7x", "cloud_sync.base.velmor-" + dead + "-1",
                           "Dr A (user profile).json.velmor-" + dead + "-2"};
    for (const QString& name : gone)
        writeFile(supportPath(name), QByteArray(1 << 20, 'x'));
    writeFile(supportPath("cloud_sync.json.velmor-" + running + "-3"), "x");
    // Only the linked file's own temporaries go; names that merely start like it stay.
    const QStringList othersBeside{"mine.json.tmp.velmor-" + dead + "-4", "mine.json2.velmor-" + dead + "-6",
                                   "mine.json.velmor-7", "other.json.velmor-" + dead + "-5"};
    for (const QString& name : othersBeside + QStringList{"mine.json.velmor-" + dead + "-8"})
        writeFile(dotfiles.filePath(name), "x");
    // In the order the folder lists them.
    const QStringList planted{"thesis.txt", "thesis.txt-draft.velmor-" + dead + "-3",
                              "thesis.txt.velmor-" + dead + "-1", "thesis.txt2.velmor-" + dead + "-2"};
    for (const QString& name : planted.mid(1))
        writeFile(documents.filePath(name), "x");

    auto store = start();
    queue->runUntilIdle();
    EXPECT_EQ(namesOf(store->userProfiles().get()), QStringList{"Dr. Linked"});
    for (const QString& name : gone)
        EXPECT_FALSE(QFileInfo::exists(supportPath(name))) << name.toStdString();
    EXPECT_TRUE(QFileInfo::exists(supportPath("cloud_sync.json.velmor-" + running + "-3")));
    QStringList besideMine = othersBeside + QStringList{"mine.json"};
    besideMine.sort();
    EXPECT_EQ(QDir(dotfiles.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), besideMine);
    EXPECT_EQ(QDir(documents.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), planted)
        << "links the user cannot have made for Velmor lead nowhere";
}

// An admin's script replaces profiles.json (or the file it links to) while Velmor runs;
// two edits and the save at quit follow: the replaced version is kept, and named.
TEST_F(ProfileStoreTest, AProfilesFileReplacedWhileRunningIsKeptThroughTwoSavesAndAQuit)
{
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "linked" : "plain");
        QTemporaryDir dotfiles;
        const QString target = linked ? dotfiles.filePath("profiles.json") : profilesPath();
        writeFile(target, json::encode(accepted("Dr. Mine").toJson()));
        if (linked) {
            ASSERT_TRUE(QFile::link(target, profilesPath()));
        }
        auto store = std::make_unique<ProfileStore>(std::make_shared<LocalFileSystem>());
        record(*store);
        queue->runUntilIdle();

        PersistedProfiles theirs = profilesOnDisk();
        theirs.userProfiles.first().name = "Added by IT";
        writeFile(target + ".new", json::encode(theirs.toJson()));
        ASSERT_TRUE(QFile::rename(target, target + ".old") && QFile::rename(target + ".new", target));

        renameUser(*store, "Edit 1");
        store->save();
        queue->runUntilIdle();
        renameUser(*store, "Edit 2");
        store->save();
        queue->runUntilIdle();
        store->save(); // at quit
        store.reset();
        queue->runUntilIdle();

        EXPECT_EQ(namesOf(profilesOnDisk().userProfiles), QStringList{"Edit 2"});
        EXPECT_EQ(namesOf(profilesOnDisk("profiles.json.external").userProfiles), QStringList{"Added by IT"});
        EXPECT_EQ(notices.size(), 1);
        EXPECT_TRUE(!notices.isEmpty() && notices.first().second.contains(supportPath("profiles.json.external")));
        EXPECT_EQ(QFileInfo(profilesPath()).isSymLink(), linked);
        notices.clear();
        for (const QString& name : QDir(supportDir.path()).entryList(QDir::Files | QDir::System))
            QFile::remove(supportPath(name));
    }
}

// A user who made the profiles private keeps them so: the file replaced by a save,
// and the backup beside it, take the profiles file's permission bits.
TEST_F(ProfileStoreTest, ASaveKeepsTheProfilesFilePermissions)
{
    writeFile(profilesPath(), json::encode(accepted("Dr. Private").toJson()));
    ASSERT_TRUE(QFile::setPermissions(profilesPath(), QFile::ReadOwner | QFile::WriteOwner));
    auto store = start();
    renameUser(*store, "Dr. Edited");
    store->save();
    queue->runUntilIdle();
    ASSERT_EQ(namesOf(profilesOnDisk().userProfiles), QStringList{"Dr. Edited"});
    for (const QString& name : {QStringLiteral("profiles.json"), QStringLiteral("profiles.json.backup")})
        EXPECT_EQ(QFile::permissions(supportPath(name)) & 0x0FFF, QFile::ReadUser | QFile::WriteUser)
            << name.toStdString();
}

TEST_F(ProfileStoreTest, OutcomesArriveLaterInOrderAndAFailedSaveCountsForNothing)
{
    // A fresh install without a seed saves the built-in profiles.
    auto store = start();
    EXPECT_TRUE(store->isFreshInstall());
    const QList<PacsProfile> pacs = store->pacsProfiles().get();
    const QList<UserProfile> users = store->userProfiles().get();
    EXPECT_EQ(namesOf(pacs), (QStringList{"Synthesis", "Intelerad", "eUnity", "Change Healthcare"}));
    EXPECT_EQ(profilesOnDisk(), (PersistedProfiles{6, pacs.first().id, users.first().id, pacs, users}));
    EXPECT_EQ(files(), QStringList{"profiles.json"});
    EXPECT_FALSE(store->lastSaved().get());
    queue->runUntilIdle();
    EXPECT_EQ(saveCalls, 1);
    QList<std::optional<QDateTime>> savedTimes;
    const Subscription subscription =
        store->lastSaved().subscribe([&](const std::optional<QDateTime>& time) { savedTimes.append(time); });

    renameUser(*store, "Edited");
    disk->failNext("rename profiles.json.velmor-*", "No space left on device");
    store->save();
    EXPECT_TRUE(notices.isEmpty());
    queue->runUntilIdle();
    EXPECT_EQ(notices, (NoticeList{{"Save Failed", "Failed to save profiles: No space left on device"}}));
    EXPECT_EQ(savedTimes.size(), 1);
    EXPECT_EQ(userNamesAtNextStart(), QStringList{"Radiologist - General"});

    // Two saves: both outcomes, in order; the second suppressed its onSave.
    store->save();
    renameUser(*store, "Two");
    store->save(true);
    queue->runUntilIdle();
    ASSERT_EQ(savedTimes.size(), 3);
    EXPECT_LE(*savedTimes[1], *savedTimes[2]);
    EXPECT_EQ(saveCalls, 2);
    EXPECT_EQ(userNamesAtNextStart(), QStringList{"Two"});
}

// A save that failed is tried again as it was asked for: a taken payload keeps the
// date of its change and asks for no upload; an edit asks for its upload.
TEST_F(ProfileStoreTest, AFailedSaveIsRetriedWithItsDateAndItsUpload)
{
    auto store = start();
    queue->runUntilIdle();
    saveCalls = 0;
    std::optional<bool> outcome;
    const auto failThenRetry = [&](const std::function<void()>& save) {
        disk->failNext("write profiles.json.velmor-*", "No space left on device");
        save();
        queue->runUntilIdle();
        EXPECT_TRUE(store->hasUnsavedChanges());
        store->retryFailedSave([&outcome](bool saved, const QByteArray&) { outcome = saved; });
        queue->runUntilIdle();
        EXPECT_EQ(outcome, true);
    };
    LoadResult taken = store->snapshot();
    taken.userProfiles.first().name = "Taken";
    const QDateTime changedAt = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, QTimeZone::utc());
    failThenRetry([&] { store->applySyncPayload(taken, changedAt); });
    EXPECT_EQ(namesOf(profilesOnDisk().userProfiles), QStringList{"Taken"});
    EXPECT_EQ(store->lastModifiedDate(), changedAt);
    EXPECT_EQ(QFileInfo(profilesPath()).lastModified().toUTC(), changedAt);
    EXPECT_EQ(saveCalls, 0);

    renameUser(*store, "Edited");
    failThenRetry([&] { store->save(); });
    EXPECT_EQ(namesOf(profilesOnDisk().userProfiles), QStringList{"Edited"});
    EXPECT_EQ(saveCalls, 1);
}

TEST_F(ProfileStoreTest, SaveWithNothingNewCountsAsSavedButWritesAndUploadsNothing)
{
    writeProfiles(accepted("Dr. A"));
    const auto fileTime = QFileInfo(profilesPath()).lastModified().toUTC();
    const auto store = start();
    int savedChanges = 0;
    const Subscription subscription = store->lastSaved().subscribe([&](const auto&) { ++savedChanges; });
    store->save();
    queue->runUntilIdle();
    EXPECT_TRUE(disk->changes().isEmpty()) << disk->changes().join(',').toStdString();
    EXPECT_EQ(savedChanges, 2);
    EXPECT_EQ(saveCalls, 0);
    EXPECT_EQ(store->lastModifiedDate(), fileTime);

    // Something new: written, uploaded, and the time sync compares moves on once the outcome arrives.
    renameUser(*store, "Dr. B");
    store->save();
    EXPECT_EQ(store->lastModifiedDate(), fileTime);
    queue->runUntilIdle();
    EXPECT_EQ(saveCalls, 1);
    const auto written = store->lastModifiedDate();
    EXPECT_EQ(written, store->lastSaved().get());

    // Saved again unchanged, or after an edit that leaves the document as it was:
    // nothing is written, nor read to know it.
    disk->clearChanges();
    store->save();
    store->renameUserProfile(store->activeUserProfile().id, "Dr. B");
    queue->runUntilIdle();
    EXPECT_TRUE(disk->changes().isEmpty());
    EXPECT_TRUE(disk->reads().isEmpty());
    EXPECT_EQ(saveCalls, 1);
    EXPECT_EQ(store->lastModifiedDate(), written);
}

// A start or Reset that writes nothing keeps the file's own bytes as the document
// to upload and save, so that nothing encodes again what profiles.json already
// holds; a file that does not say all the store holds (no active ids) never
// stands for it, and the next save writes it whole.
TEST_F(ProfileStoreTest, ALoadThatWritesNothingKeepsTheFilesBytesAsTheDocument)
{
    PersistedProfiles document = accepted("Dr. A");
    const QByteArray compact = QJsonDocument(document.toJson()).toJson(QJsonDocument::Compact);
    writeProfiles(compact);
    {
        const auto store = start();
        queue->runUntilIdle();
        EXPECT_TRUE(disk->changes().isEmpty());
        EXPECT_EQ(store->makeSyncPayload(), compact);
        store->reloadFromDisk();
        EXPECT_EQ(store->makeSyncPayload(), compact);
        store->renameUserProfile(store->activeUserProfile().id, "Dr. B");
        EXPECT_EQ(PersistedProfiles::fromJson(json::parse(store->makeSyncPayload())).userProfiles.first().name, "Dr. B");
        queue->runUntilIdle();
        EXPECT_EQ(profilesOnDisk().userProfiles.first().name, "Dr. B");
    }

    document.activeUserProfileId.reset();
    const QByteArray withoutActiveUser = QJsonDocument(document.toJson()).toJson(QJsonDocument::Compact);
    writeProfiles(withoutActiveUser);
    const auto store = start();
    queue->runUntilIdle();
    EXPECT_NE(store->makeSyncPayload(), withoutActiveUser);
    EXPECT_EQ(PersistedProfiles::fromJson(json::parse(store->makeSyncPayload())).activeUserProfileId,
              store->activeUserProfileId().get());
    store->save();
    queue->runUntilIdle();
    EXPECT_EQ(profilesOnDisk().activeUserProfileId, store->activeUserProfileId().get());
}

} // namespace
