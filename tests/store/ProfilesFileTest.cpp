#include "store/ProfilesFile.h"

#include "ScriptedFileSystem.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmor;
using test::ScriptedFileSystem;
using Format = ProfilesFile::Format;
using Notice = ProfilesFile::Notice;
using Op = ScriptedFileSystem::Op;

namespace {

// Documents on raw bytes: "v6:" current, "old:" legacy, anything else unreadable.
Format classify(const QByteArray& bytes)
{
    if (bytes.startsWith("v6:"))
        return Format::current;
    if (bytes.startsWith("old:"))
        return Format::legacy;
    return Format::unreadable;
}

Notice saveFailed(const QString& error) { return {"Save Failed", "Failed to save profiles: " + error}; }
const Notice restored{"Restored from Backup", "Your previous profile data has been restored."};

class ProfilesFileTest : public ::testing::Test {
protected:
    ProfilesFile makeFile() { return ProfilesFile(dir.path(), disk, classify); }
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray content(const QString& name) const { return test::readFile(path(name)); }
    void put(const QString& name, const QByteArray& bytes) { test::writeFile(path(name), bytes); }
    bool has(const QString& name) const { return QFile::exists(path(name)); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir dir;
    std::shared_ptr<ScriptedFileSystem> disk = std::make_shared<ScriptedFileSystem>();
};

TEST_F(ProfilesFileTest, SaveRefreshesBackupAndReplacesFileOnlyByRenames)
{
    put("profiles.json", "v6:A");
    ProfilesFile file = makeFile();
    EXPECT_EQ(file.load().bytes, QByteArray("v6:A"));

    const auto result = file.save("v6:B");
    EXPECT_EQ(result.outcome, ProfilesFile::SaveOutcome::written);
    EXPECT_TRUE(result.notices.isEmpty());
    EXPECT_EQ(disk->changes(), (QStringList{"write profiles.json.backup.tmp",
                                            "rename profiles.json.backup.tmp profiles.json.backup",
                                            "write profiles.json.tmp", "rename profiles.json.tmp profiles.json"}));
    EXPECT_EQ(content("profiles.json"), "v6:B");
    EXPECT_EQ(content("profiles.json.backup"), "v6:A");
    EXPECT_EQ(files(), (QStringList{"profiles.json", "profiles.json.backup"}));

    // Equal to what is on disk: not written; changed behind our back: written.
    disk->clearChanges();
    EXPECT_EQ(file.save("v6:B").outcome, ProfilesFile::SaveOutcome::unchanged);
    EXPECT_TRUE(disk->changes().isEmpty());
    put("profiles.json", "v6:X");
    EXPECT_EQ(file.save("v6:B").outcome, ProfilesFile::SaveOutcome::written);

    // First save of all: no backup to refresh.
    QFile::remove(path("profiles.json"));
    QFile::remove(path("profiles.json.backup"));
    disk->clearChanges();
    EXPECT_EQ(makeFile().save("v6:C").outcome, ProfilesFile::SaveOutcome::written);
    EXPECT_EQ(disk->changes(), (QStringList{"write profiles.json.tmp", "rename profiles.json.tmp profiles.json"}));
    EXPECT_EQ(files(), QStringList{"profiles.json"});
}

TEST_F(ProfilesFileTest, BackupIsRestoredOnlyWhenTheFileIsMissingAfterAFailure)
{
    // profiles.json gone (kept aside earlier), a good backup beside it.
    put("profiles.json.backup", "v6:A");
    disk->failNext(Op::write, "profiles.json.tmp", "Disk full");
    auto result = makeFile().save("v6:B");
    EXPECT_EQ(result.notices, (QList<Notice>{saveFailed("Disk full"), restored}));
    EXPECT_EQ(content("profiles.json"), "v6:A");
    EXPECT_EQ(files(), (QStringList{"profiles.json", "profiles.json.backup"}));

    // The restore fails as well.
    QFile::remove(path("profiles.json"));
    disk->failNext(Op::write, "profiles.json.tmp", "Disk full", 2);
    result = makeFile().save("v6:B");
    EXPECT_EQ(result.notices, (QList<Notice>{saveFailed("Disk full"),
                                             {"Critical Error", "Failed to restore from backup: Disk full"}}));
    EXPECT_FALSE(has("profiles.json"));
    EXPECT_FALSE(has("profiles.json.tmp"));

    // No backup, or one that cannot be used: only the failure.
    put("profiles.json.backup", "garbage");
    disk->failNext(Op::write, "profiles.json.tmp", "Disk full");
    EXPECT_EQ(makeFile().save("v6:B").notices, QList<Notice>{saveFailed("Disk full")});
    QFile::remove(path("profiles.json.backup"));
    disk->failNext(Op::write, "profiles.json.tmp", "Disk full");
    EXPECT_EQ(makeFile().save("v6:B").notices, QList<Notice>{saveFailed("Disk full")});
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(ProfilesFileTest, FileDamagedWhileRunningIsKeptBeforeTheSave)
{
    put("profiles.json", "v6:A");
    ProfilesFile file = makeFile();
    file.load();
    put("profiles.json", "garbage");
    auto result = file.save("v6:B");
    const Notice warning{"Profile Data Warning",
                         "The profiles file could not be read and was kept as profiles.json.damaged."};
    EXPECT_EQ(result.notices, QList<Notice>{warning});
    EXPECT_EQ(content("profiles.json.damaged"), "garbage");
    EXPECT_FALSE(has("profiles.json.backup"));

    // Keeping it fails: the file is not written over.
    put("profiles.json", "garbage 2");
    disk->failNext(Op::rename, "profiles.json.damaged.tmp", "Input/output error");
    result = file.save("v6:C");
    EXPECT_EQ(result.notices,
              QList<Notice>{saveFailed("The unreadable profiles file could not be kept aside.")});
    EXPECT_EQ(content("profiles.json"), "garbage 2");
    EXPECT_EQ(content("profiles.json.damaged"), "garbage");
}

} // namespace
