#include "StoreFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

QDateTime utc(int year, int month, int day, int msec = 0)
{
    return QDateTime(QDate(year, month, day), QTime(3, 4, 5).addMSecs(msec), QTimeZone::utc());
}

// The date sync compares survives a restart only as profiles.json's modification time.
class ProfileDatesTest : public StoreFixture {
protected:
    static QDateTime fileTime(const QString& path) { return QFileInfo(path).lastModified().toUTC(); }
    static void dateFile(const QString& path, const QDateTime& time)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
    }
    static std::optional<QDateTime> dateAtNextStart()
    {
        const ProfileStore next(std::make_shared<LocalFileSystem>());
        return next.lastModifiedDate();
    }
    // A document the store takes as it is, its user renamed; the folder is left empty.
    PersistedProfiles accepted(const QString& userName)
    {
        ProfileStore(std::make_shared<LocalFileSystem>());
        PersistedProfiles document = profilesOnDisk();
        document.userProfiles.first().name = userName;
        for (const char* name : {"profiles.json", "profiles.json.backup"})
            QFile::remove(supportPath(name));
        queue->runUntilIdle();
        return document;
    }
};

// A start-up that only rewrites what it loaded (an older format, a damaged file
// replaced by its backup) is no change: the data keeps the date it had, so a later
// edit made elsewhere while this machine was off still wins.
TEST_F(ProfileDatesTest, RepairsOnLoadKeepTheDateOfTheLoadedData)
{
    const QDateTime edited = utc(2024, 1, 2, 678);
    const PersistedProfiles backup = accepted("Dr. Backup");
    PersistedProfiles older = accepted("Dr. A");
    older.version = 5;
    writeProfiles(older);
    dateFile(profilesPath(), edited);

    auto store = start();
    queue->runUntilIdle();
    EXPECT_EQ(profilesOnDisk().version, 6);
    EXPECT_EQ(store->lastModifiedDate(), edited);
    EXPECT_EQ(fileTime(profilesPath()), edited);
    EXPECT_EQ(dateAtNextStart(), edited);

    // A real edit is dated by its own time.
    const QDateTime now = utc(2030, 5, 6);
    store->clock = [now] { return now; };
    store->renameUserProfile(store->activeUserProfile().id, "Dr. B");
    queue->runUntilIdle();
    EXPECT_EQ(store->lastModifiedDate(), now);
    EXPECT_GT(fileTime(profilesPath()), edited);

    // Damaged: the backup's data comes back with the backup's date, at start-up and on reload.
    const QDateTime backedUp = utc(2023, 7, 8, 9);
    store.reset();
    writeFile(supportPath("profiles.json.backup"), json::encode(backup.toJson()));
    dateFile(supportPath("profiles.json.backup"), backedUp);
    writeProfiles(QByteArray("not json"));
    store = start();
    queue->runUntilIdle();
    EXPECT_EQ(namesOf(profilesOnDisk().userProfiles), QStringList{"Dr. Backup"});
    EXPECT_EQ(store->lastModifiedDate(), backedUp);
    EXPECT_EQ(dateAtNextStart(), backedUp);

    const QDateTime reloaded = utc(2022, 3, 4, 5);
    writeFile(supportPath("profiles.json.backup"), json::encode(backup.toJson()));
    dateFile(supportPath("profiles.json.backup"), reloaded);
    writeProfiles(QByteArray("[1,"));
    store->reloadFromDisk();
    queue->runUntilIdle();
    EXPECT_EQ(store->lastModifiedDate(), reloaded);
    EXPECT_EQ(fileTime(profilesPath()), reloaded);
}

// Remote data is dated on disk as the change it holds, before profiles.json is
// published; the same data arriving with a later date only moves the date.
TEST_F(ProfileDatesTest, RemoteDataKeepsTheDateOfItsChangeAcrossRestarts)
{
    const QByteArray remote = json::encode(accepted("Dr. Remote").toJson());
    const QByteArray third = json::encode(accepted("Dr. Three").toJson());
    writeProfiles(accepted("Dr. Local"));
    const auto store = start();
    queue->runUntilIdle();

    const QDateTime changed = utc(2024, 2, 3, 456);
    disk->clearChanges();
    store->applySyncPayload(remote, changed);
    const QStringList steps = disk->changes();
    ASSERT_TRUE(steps.contains("date profiles.json.velmor-*")) << steps.join(',').toStdString();
    EXPECT_LT(steps.indexOf("date profiles.json.velmor-*"), steps.indexOf("rename profiles.json.velmor-* profiles.json"));
    queue->runUntilIdle();
    EXPECT_EQ(store->lastModifiedDate(), changed);
    EXPECT_EQ(fileTime(profilesPath()), changed);
    EXPECT_EQ(dateAtNextStart(), changed);

    const QDateTime again = changed.addSecs(60);
    disk->clearChanges();
    store->applySyncPayload(remote, again);
    queue->runUntilIdle();
    EXPECT_EQ(disk->changes(), QStringList{"date profiles.json"});
    EXPECT_EQ(store->lastModifiedDate(), again);
    EXPECT_EQ(dateAtNextStart(), again);
    // The new date is known as the store's own: the next save reads nothing to tell.
    disk->clearChanges();
    store->save();
    queue->runUntilIdle();
    EXPECT_TRUE(disk->changes().isEmpty());
    EXPECT_TRUE(disk->reads().isEmpty());

    // A file that cannot be dated still holds the data; only the file looks newer.
    const QDateTime later = utc(2024, 4, 5);
    disk->failNext("date profiles.json.velmor-*", "Operation not permitted");
    notices.clear();
    store->applySyncPayload(third, later);
    queue->runUntilIdle();
    EXPECT_EQ(namesOf(profilesOnDisk().userProfiles), QStringList{"Dr. Three"});
    EXPECT_FALSE(store->hasUnsavedChanges());
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_EQ(store->lastModifiedDate(), later);
}

// Profiles nobody changed (a fresh install's, the bundle's seed, the defaults put in
// place of a damaged file without a backup) are dated as untouched, across restarts and
// reloads, so that any real profiles win over them; the first real edit dates itself.
TEST_F(ProfileDatesTest, ProfilesNobodyChangedAreDatedAsUntouched)
{
    const QDateTime untouched = ProfileStore::untouchedDate();
    const auto diskTime = [this] { return LocalFileSystem().modificationTime(profilesPath()); };
    auto store = start();
    queue->runUntilIdle();
    EXPECT_TRUE(store->holdsUntouchedProfiles());
    EXPECT_EQ(diskTime(), untouched);
    EXPECT_EQ(dateAtNextStart(), untouched);
    // A reload shows no save time of 1970.
    const auto lastSaved = store->lastSaved().get();
    ASSERT_TRUE(lastSaved);
    store->reloadFromDisk();
    EXPECT_EQ(store->lastSaved().get(), lastSaved);
    EXPECT_TRUE(store->holdsUntouchedProfiles());

    const QDateTime now = utc(2030, 5, 6);
    store->clock = [now] { return now; };
    store->renameUserProfile(store->activeUserProfile().id, "Dr. Mine");
    queue->runUntilIdle();
    EXPECT_EQ(store->lastModifiedDate(), now);
    EXPECT_FALSE(store->holdsUntouchedProfiles());

    // Damaged, no backup: the defaults in its place, at start-up and on reload.
    store.reset();
    QFile::remove(supportPath("profiles.json.backup"));
    writeProfiles(QByteArray("not json"));
    store = start();
    queue->runUntilIdle();
    EXPECT_EQ(store->lastModifiedDate(), untouched);
    EXPECT_EQ(dateAtNextStart(), untouched);
    writeProfiles(QByteArray("[1,"));
    QFile::remove(supportPath("profiles.json.backup"));
    store->reloadFromDisk();
    queue->runUntilIdle();
    EXPECT_EQ(store->lastModifiedDate(), untouched);
    EXPECT_EQ(diskTime(), untouched);

    // The bundle's seed.
    store.reset();
    const QByteArray seed = json::encode(accepted("Dr. Seed").toJson());
    addResource("SeedProfiles.json", seed);
    store = start();
    queue->runUntilIdle();
    EXPECT_EQ(store->activeUserProfile().name, "Dr. Seed");
    EXPECT_EQ(store->lastModifiedDate(), untouched);
}

} // namespace
