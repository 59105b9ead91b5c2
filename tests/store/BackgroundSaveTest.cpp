// Saves are written on the writer's queue, stepped here by hand: the window's
// thread hands over a snapshot and goes on; the disk sees the edits in order.
#include "StoreFixture.h"

#include <QFile>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

const QString writerQueue = QStringLiteral("com.velmor.profiles");

class BackgroundSaveTest : public StoreFixture {
protected:
    // A store whose first saves are done, with the writer stepped by hand from now on.
    std::unique_ptr<ProfileStore> startStepwise()
    {
        auto store = start();
        queue->runUntilIdle();
        writer()->setStepwise(true);
        disk->clearChanges();
        notices.clear();
        saveCalls = 0;
        return store;
    }
    ManualSerialQueue* writer() const { return serialQueues.find(writerQueue); }
    void rename(ProfileStore& store, const QString& name)
    {
        store.renameUserProfile(store.activeUserProfile().id, name);
    }
    QString userOnDisk() { return profilesOnDisk().userProfiles.first().name; }
    int writesOfProfiles() const { return static_cast<int>(disk->changes().count("rename profiles.json.velmor-* profiles.json")); }
};

TEST_F(BackgroundSaveTest, EditsReachTheDiskInOrderAndWaitingOnesGoInOneWrite)
{
    auto store = startStepwise();
    const QString before = userOnDisk();
    rename(*store, "A");
    // Nothing touched the disk on the window's thread; the file is the whole old one.
    EXPECT_TRUE(disk->changes().isEmpty());
    EXPECT_EQ(userOnDisk(), before);

    ASSERT_TRUE(writer()->runNext());
    EXPECT_EQ(userOnDisk(), "A");
    // Three keystrokes while no write runs: one write, of the last.
    rename(*store, "AB");
    rename(*store, "ABC");
    rename(*store, "ABCD");
    EXPECT_EQ(writer()->pendingCount(), 1u);
    writer()->runAll();
    EXPECT_EQ(userOnDisk(), "ABCD");
    EXPECT_EQ(writesOfProfiles(), 2);
    // The backup is the state before the last write; the temporary file is gone.
    EXPECT_EQ(PersistedProfiles::fromJson(json::parse(readFile(supportPath("profiles.json.backup"))))
                  .userProfiles.first().name,
              "A");
    EXPECT_EQ(QDir(supportDir.path()).entryList(QDir::Files).filter("velmor-"), QStringList{});

    // Every save's outcome arrives, in order, on the main queue.
    EXPECT_EQ(saveCalls, 0);
    queue->runUntilIdle();
    EXPECT_EQ(saveCalls, 4);
    EXPECT_FALSE(store->hasUnsavedChanges());

    // Choosing what is chosen already writes nothing and asks for no upload.
    store->setSelectedDeviceId(store->activeUserProfile().selectedDeviceId, store->activeUserProfile().id);
    writer()->runAll();
    queue->runUntilIdle();
    EXPECT_EQ(writesOfProfiles(), 2);
    EXPECT_EQ(saveCalls, 4);
}

TEST_F(BackgroundSaveTest, AFailedWriteReachesTheUserAndTheNextEditWritesAgain)
{
    auto store = startStepwise();
    disk->failNext("write profiles.json.velmor-*", "No space left on device");
    rename(*store, "Lost for now");
    writer()->runAll();
    EXPECT_TRUE(notices.isEmpty()); // told on the main queue, not from the writer
    queue->runUntilIdle();
    ASSERT_FALSE(notices.isEmpty());
    EXPECT_EQ(notices.first(), std::make_pair(QStringLiteral("Save Failed"),
                                              QStringLiteral("Failed to save profiles: No space left on device")));
    EXPECT_TRUE(store->hasUnsavedChanges());
    EXPECT_EQ(saveCalls, 0);

    // The same state saved again is written now, since the disk never got it.
    store->save();
    writer()->runAll();
    queue->runUntilIdle();
    EXPECT_EQ(userOnDisk(), "Lost for now");
    EXPECT_FALSE(store->hasUnsavedChanges());
    EXPECT_EQ(saveCalls, 1);
}

TEST_F(BackgroundSaveTest, QuittingWaitsForTheLastWrite)
{
    auto store = startStepwise();
    rename(*store, "Typed just before quitting");
    EXPECT_EQ(writer()->pendingCount(), 1u);
    store->flush();
    EXPECT_EQ(userOnDisk(), "Typed just before quitting");

    rename(*store, "Last");
    store.reset();
    EXPECT_EQ(userOnDisk(), "Last");
    // The outcome finds the store gone and does nothing.
    queue->runUntilIdle();
}

// While a write is under way, the data keeps the date it had; the write dates it.
TEST_F(BackgroundSaveTest, TheDateMovesWhenTheWriteIsDone)
{
    auto store = startStepwise();
    const std::optional<QDateTime> before = store->lastModifiedDate();
    store->clock = [] { return QDateTime(QDate(2030, 1, 2), QTime(3, 4), QTimeZone::utc()); };
    rename(*store, "Later");
    writer()->runAll();
    EXPECT_EQ(store->lastModifiedDate(), before);
    queue->runUntilIdle();
    EXPECT_EQ(store->lastModifiedDate(), store->clock());
}

} // namespace
