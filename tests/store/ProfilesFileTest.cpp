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

const Notice saveFailed(const QString& error) { return {"Save Failed", "Failed to save profiles: " + error}; }
const Notice restored{"Restored from Backup", "Your previous profile data has been restored."};

class ProfilesFileTest : public ::testing::Test {
protected:
    ProfilesFile makeFile() { return ProfilesFile(dir.path(), disk, classify); }
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray content(const QString& name) const { return test::readFile(path(name)); }
    void put(const QString& name, const QByteArray& bytes) { test::writeFile(path(name), bytes); }
    bool has(const QString& name) const { return QFile::exists(path(name)); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }
    // What the next start-up would read.
    std::optional<QByteArray> nextStartLoads()
    {
        return ProfilesFile(dir.path(), std::make_shared<LocalFileSystem>(), classify).load().bytes;
    }

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

    // First save of all: no backup to refresh.
    QFile::remove(path("profiles.json"));
    QFile::remove(path("profiles.json.backup"));
    disk->clearChanges();
    EXPECT_EQ(makeFile().save("v6:C").outcome, ProfilesFile::SaveOutcome::written);
    EXPECT_EQ(disk->changes(), (QStringList{"write profiles.json.tmp", "rename profiles.json.tmp profiles.json"}));
    EXPECT_EQ(files(), QStringList{"profiles.json"});
}

TEST_F(ProfilesFileTest, DocumentEqualToTheLastOneOnDiskIsNotWrittenAgain)
{
    put("profiles.json", "v6:A");
    ProfilesFile file = makeFile();
    file.load();
    EXPECT_EQ(file.save("v6:A").outcome, ProfilesFile::SaveOutcome::unchanged);
    EXPECT_EQ(file.save("v6:B").outcome, ProfilesFile::SaveOutcome::written);
    disk->clearChanges();
    EXPECT_EQ(file.save("v6:B").outcome, ProfilesFile::SaveOutcome::unchanged);
    EXPECT_TRUE(disk->changes().isEmpty());

    // Changed or removed behind our back: written again.
    put("profiles.json", "v6:X");
    EXPECT_EQ(file.save("v6:B").outcome, ProfilesFile::SaveOutcome::written);
    QFile::remove(path("profiles.json"));
    EXPECT_EQ(file.save("v6:B").outcome, ProfilesFile::SaveOutcome::written);
    EXPECT_EQ(content("profiles.json"), "v6:B");
    file.forgetLastDocument();
    EXPECT_EQ(file.save("v6:B").outcome, ProfilesFile::SaveOutcome::written);
}

TEST_F(ProfilesFileTest, FailedStepKeepsTheFileAndNeedsNoRestore)
{
    struct Case {
        Op op;
        QString fileName;
    };
    const QList<Case> cases{{Op::write, "profiles.json.backup.tmp"},
                            {Op::rename, "profiles.json.backup.tmp"},
                            {Op::write, "profiles.json.tmp"},
                            {Op::read, "profiles.json.tmp"},
                            {Op::rename, "profiles.json.tmp"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileName.toStdString());
        put("profiles.json", "v6:A");
        put("profiles.json.backup", "v6:old");
        ProfilesFile file = makeFile();
        file.load();
        disk->failNext(c.op, c.fileName, "No space left on device");

        const auto result = file.save("v6:B");
        EXPECT_EQ(result.outcome, ProfilesFile::SaveOutcome::failed);
        EXPECT_EQ(result.notices, QList<Notice>{saveFailed("No space left on device")});
        EXPECT_EQ(content("profiles.json"), "v6:A");
        EXPECT_EQ(files(), (QStringList{"profiles.json", "profiles.json.backup"}));
        EXPECT_EQ(nextStartLoads(), QByteArray("v6:A"));
        // The failed document is not taken for the one on disk.
        EXPECT_EQ(file.save("v6:B").outcome, ProfilesFile::SaveOutcome::written);
    }
}

TEST_F(ProfilesFileTest, ReadBackThatDiffersFailsTheSave)
{
    put("profiles.json", "v6:A");
    ProfilesFile file = makeFile();
    file.load();
    disk->replaceReads("profiles.json.tmp", "v6:B but truncated");
    EXPECT_EQ(file.save("v6:B").notices,
              QList<Notice>{saveFailed("The saved profiles could not be read back.")});
    EXPECT_EQ(content("profiles.json"), "v6:A");
    EXPECT_FALSE(has("profiles.json.tmp"));
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

TEST_F(ProfilesFileTest, DamagedFileIsKeptAsideAndTheBackupServesFirst)
{
    put("profiles.json", "garbage");
    put("profiles.json.backup", "v6:A");
    ProfilesFile file = makeFile();
    auto loaded = file.load();
    EXPECT_EQ(loaded.bytes, QByteArray("v6:A"));
    EXPECT_TRUE(loaded.fromBackup);
    EXPECT_TRUE(loaded.wasDamaged);
    const Notice warning{"Profile Data Warning", "The profiles file could not be read and was kept as "
                                                 "profiles.json.damaged. Your profiles were loaded from the backup."};
    EXPECT_EQ(loaded.notices, QList<Notice>{warning});
    EXPECT_EQ(content("profiles.json.damaged"), "garbage");

    // The save replaces the damaged file but never turns it into the backup.
    const auto result = file.save("v6:B");
    EXPECT_EQ(result.outcome, ProfilesFile::SaveOutcome::written);
    EXPECT_TRUE(result.notices.isEmpty());
    EXPECT_EQ(content("profiles.json"), "v6:B");
    EXPECT_EQ(content("profiles.json.backup"), "v6:A");
    EXPECT_EQ(content("profiles.json.damaged"), "garbage");

    // No usable backup: the caller's defaults.
    put("profiles.json", "more garbage");
    put("profiles.json.backup", "garbage too");
    loaded = makeFile().load();
    EXPECT_FALSE(loaded.bytes);
    EXPECT_EQ(loaded.notices.value(0).message, "The profiles file could not be read and was kept as "
                                               "profiles.json.damaged. The default profiles were loaded.");
    EXPECT_EQ(content("profiles.json.damaged"), "more garbage");
}

TEST_F(ProfilesFileTest, UnreadableFileIsMovedAsideWhole)
{
    put("profiles.json", "v6:A but unreadable");
    disk->failNext(Op::read, "profiles.json", "Permission denied");
    const auto loaded = makeFile().load();
    EXPECT_TRUE(loaded.wasDamaged);
    EXPECT_FALSE(has("profiles.json"));
    EXPECT_EQ(content("profiles.json.damaged"), "v6:A but unreadable");

    // When it cannot be kept, the warning does not claim it was.
    put("profiles.json", "garbage");
    disk->failNext(Op::write, "profiles.json.damaged.tmp", "Read-only file system");
    EXPECT_EQ(makeFile().load().notices.value(0).message,
              "The profiles file could not be read. The default profiles were loaded.");
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

TEST_F(ProfilesFileTest, LegacyFileIsCopiedBeforeTheFirstSaveOverIt)
{
    put("profiles.json", "old:X");
    ProfilesFile file = makeFile();
    EXPECT_EQ(file.load().bytes, QByteArray("old:X"));

    // Without the copy there is no save.
    disk->failNext(Op::write, "profiles.json.legacy.tmp", "Disk full");
    EXPECT_EQ(file.save("v6:B").notices, QList<Notice>{saveFailed("Disk full")});
    EXPECT_EQ(content("profiles.json"), "old:X");
    EXPECT_FALSE(has("profiles.json.legacy"));

    EXPECT_EQ(file.save("v6:B").outcome, ProfilesFile::SaveOutcome::written);
    EXPECT_EQ(content("profiles.json.legacy"), "old:X");
    EXPECT_EQ(content("profiles.json.backup"), "old:X");
    EXPECT_EQ(file.save("v6:C").outcome, ProfilesFile::SaveOutcome::written);
    EXPECT_EQ(content("profiles.json.legacy"), "old:X");
    EXPECT_EQ(content("profiles.json.backup"), "v6:B");
}

// Stops the program before every change a save makes to the disk, and starts again.
TEST_F(ProfilesFileTest, CrashAnywhereInASaveLeavesTheOldOrTheNewDocument)
{
    struct Start {
        const char* name;
        QByteArray file;
        QByteArray backup;
        QByteArray good; // what a start-up should find before the save
    };
    const QList<Start> starts{{"current", "v6:A", "v6:old", "v6:A"},
                              {"legacy", "old:X", "", "old:X"},
                              {"damaged", "garbage", "v6:old", "v6:old"}};
    for (const Start& start : starts) {
        for (int changes = 0;; ++changes) {
            SCOPED_TRACE(std::string(start.name) + " after " + std::to_string(changes));
            for (const QString& name : files())
                QFile::remove(path(name));
            put("profiles.json", start.file);
            if (!start.backup.isEmpty())
                put("profiles.json.backup", start.backup);
            auto crashing = std::make_shared<ScriptedFileSystem>();
            ProfilesFile file(dir.path(), crashing, classify);
            file.load();
            crashing->clearChanges();
            crashing->crashAfter(changes);
            bool crashed = false;
            try {
                file.save("v6:B");
            } catch (const test::SimulatedCrash&) {
                crashed = true;
            }
            const auto loaded = nextStartLoads();
            ASSERT_TRUE(loaded);
            EXPECT_TRUE(*loaded == start.good || *loaded == "v6:B") << loaded->toStdString();
            if (!crashed) {
                EXPECT_EQ(*loaded, "v6:B");
                EXPECT_GE(changes, 2);
                break;
            }
        }
    }
}

} // namespace
