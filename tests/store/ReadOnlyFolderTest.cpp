// A data folder that cannot be written (a read-only file system, a locked-down
// profile) still opens: the profiles are used, the user is told once, refused saves
// go to the log, and the first save once it can be written again keeps every edit.
#include "StoreFixture.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

class ReadOnlyFolderTest : public StoreFixture {
protected:
    std::unique_ptr<ProfileStore> startLogging()
    {
        auto store = start();
        store->onLog = [this](const QString& line) { logLines.append(line); };
        return store;
    }
    QString userOnDisk() const { return profilesOnDisk().userProfiles.first().name; }
    void rename(ProfileStore& store, const QString& name)
    {
        store.renameUserProfile(store.activeUserProfile().id, name);
        store.flush();
        queue->runUntilIdle();
    }
    QString toldText() const
    {
        return "Changes to your profiles cannot be saved: the data folder “" + supportDir.path()
            + "” cannot be written (Read-only file system). Velmor uses the profiles it has and syncs nothing until "
              "the folder can be written again; your changes are saved then, with the next change or when Velmor "
              "quits.";
    }

    QStringList logLines;
};

TEST_F(ReadOnlyFolderTest, OpensWithItsProfilesTellsOnceAndSavesOnceWritableAgain)
{
    {
        auto first = start();
        rename(*first, "Mine");
    }
    saveCalls = 0;
    disk->setReadOnly(true);
    auto store = startLogging();
    EXPECT_EQ(namesOf(store->userProfiles().get()), QStringList{"Mine"});
    EXPECT_EQ(store->unwritableDataFolder(), "Read-only file system");

    // Edits are kept in memory; the first refusal was told at start, the others are logged.
    rename(*store, "Edited once");
    rename(*store, "Edited twice");
    EXPECT_EQ(notices, (QList<std::pair<QString, QString>>{{"Save Failed", toldText()}}));
    EXPECT_EQ(logLines.count("Save Failed: Failed to save profiles: Read-only file system"), 2);
    EXPECT_TRUE(store->hasUnsavedChanges());
    EXPECT_EQ(userOnDisk(), "Mine");
    EXPECT_EQ(saveCalls, 0);

    // Writable again: the next save keeps the latest edit, with its upload.
    disk->setReadOnly(false);
    EXPECT_FALSE(store->unwritableDataFolder());
    rename(*store, "Edited thrice");
    EXPECT_EQ(userOnDisk(), "Edited thrice");
    EXPECT_FALSE(store->hasUnsavedChanges());
    EXPECT_EQ(saveCalls, 1);

    // Read-only once more: a new spell is told again, once.
    notices.clear();
    disk->setReadOnly(true);
    rename(*store, "Fourth");
    rename(*store, "Fifth");
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices.first().second, toldText());
    EXPECT_EQ(userOnDisk(), "Edited thrice");
}

// A read-only folder with no profiles yet: the built-in ones, and one notice though the
// start had to save; a save tried again (Sync Now) once writable writes them.
TEST_F(ReadOnlyFolderTest, AFreshFolderStartsWithTheBuiltInProfilesAndOneNotice)
{
    disk->setReadOnly(true);
    auto store = startLogging();
    store->flush();
    queue->runUntilIdle();
    EXPECT_FALSE(store->userProfiles().get().isEmpty());
    EXPECT_EQ(notices.size(), 1);
    EXPECT_TRUE(store->hasUnsavedChanges());
    EXPECT_FALSE(QFile::exists(profilesPath()));

    disk->setReadOnly(false);
    std::optional<bool> saved;
    store->retryFailedSave([&saved](bool outcome, const QByteArray&) { saved = outcome; });
    store->flush();
    queue->runUntilIdle();
    EXPECT_EQ(saved, true);
    EXPECT_EQ(namesOf(profilesOnDisk().userProfiles), namesOf(store->userProfiles().get()));
    EXPECT_EQ(notices.size(), 1);
}

} // namespace
