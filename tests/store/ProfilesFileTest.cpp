#include "store/ProfilesFile.h"

#include "ScriptedFileSystem.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

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
    // Another program saving the file its own way: a new file renamed over it.
    void replace(const QString& name, const QByteArray& bytes)
    {
        put("other", bytes);
        ASSERT_EQ(std::rename(qPrintable(path("other")), qPrintable(path(name))), 0);
    }
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

    // Equal to what is on disk: not written.
    disk->clearChanges();
    EXPECT_EQ(file.save("v6:B").outcome, ProfilesFile::SaveOutcome::unchanged);
    EXPECT_TRUE(disk->changes().isEmpty());

    // First save of all: no backup to refresh.
    QFile::remove(path("profiles.json"));
    QFile::remove(path("profiles.json.backup"));
    disk->clearChanges();
    EXPECT_EQ(makeFile().save("v6:C").outcome, ProfilesFile::SaveOutcome::written);
    EXPECT_EQ(disk->changes(), (QStringList{"write profiles.json.tmp", "rename profiles.json.tmp profiles.json"}));
    EXPECT_EQ(files(), QStringList{"profiles.json"});
}

TEST_F(ProfilesFileTest, EachDocumentIsJudgedOnceAndTheFileLastWrittenIsKnownWithoutReading)
{
    put("profiles.json", "v6:A");
    int judged = 0;
    const auto counting = [&judged](const QByteArray& bytes) {
        ++judged;
        return classify(bytes);
    };
    ProfilesFile file(dir.path(), disk, counting);
    int decoded = 0;
    EXPECT_EQ(file.load([&](const QByteArray& bytes) { return ++decoded, classify(bytes); }).bytes, "v6:A");
    EXPECT_EQ(decoded, 1);

    // The file loaded is backed up from memory; the new one is checked by its bytes.
    disk->clearChanges();
    EXPECT_EQ(file.save("v6:B").outcome, ProfilesFile::SaveOutcome::written);
    EXPECT_EQ(disk->reads(), QStringList{"profiles.json.tmp"});
    EXPECT_EQ(content("profiles.json.backup"), "v6:A");
    EXPECT_EQ(judged, 0);

    // Nothing new: the file's stamp answers.
    disk->clearChanges();
    EXPECT_EQ(file.saveAgain().outcome, ProfilesFile::SaveOutcome::unchanged);
    EXPECT_TRUE(disk->reads().isEmpty());
    EXPECT_TRUE(disk->changes().isEmpty());

    // Saved again by someone else with the same bytes: read, found equal, left alone.
    replace("profiles.json", "v6:B");
    EXPECT_EQ(file.saveAgain().outcome, ProfilesFile::SaveOutcome::unchanged);
    EXPECT_EQ(disk->reads(), QStringList{"profiles.json"});
    EXPECT_TRUE(disk->changes().isEmpty());

    // With other bytes of the same size: written again, theirs kept as the backup.
    replace("profiles.json", "v6:X");
    EXPECT_EQ(file.saveAgain().outcome, ProfilesFile::SaveOutcome::written);
    EXPECT_EQ(content("profiles.json"), "v6:B");
    EXPECT_EQ(content("profiles.json.backup"), "v6:X");
    EXPECT_EQ(judged, 1);
}

TEST_F(ProfilesFileTest, ATemporaryFileThatReadsBackOtherBytesFailsTheSave)
{
    put("profiles.json", "v6:A");
    ProfilesFile file = makeFile();
    file.load();
    disk->garbleNextWrite("profiles.json.tmp");
    const auto result = file.save("v6:B");
    EXPECT_EQ(result.outcome, ProfilesFile::SaveOutcome::failed);
    EXPECT_EQ(result.notices, QList<Notice>{saveFailed("The saved profiles could not be read back.")});
    EXPECT_EQ(content("profiles.json"), "v6:A");
    EXPECT_EQ(files(), (QStringList{"profiles.json", "profiles.json.backup"}));
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
