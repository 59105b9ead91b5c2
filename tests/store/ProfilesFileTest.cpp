#include "store/ProfilesFile.h"

#include "ScriptedFileSystem.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

using namespace velmor;
using test::ScriptedFileSystem;
using Format = ProfilesFile::Format;
using Notice = ProfilesFile::Notice;
using Outcome = ProfilesFile::SaveOutcome;

namespace {

// Documents on raw bytes: "v6:" current, "old:" legacy, anything else unreadable.
Format classify(const QByteArray& bytes)
{
    if (bytes.startsWith("v6:"))
        return Format::current;
    return bytes.startsWith("old:") ? Format::legacy : Format::unreadable;
}

Notice saveFailed(const QString& error) { return {"Save Failed", "Failed to save profiles: " + error}; }
const Notice restored{"Restored from Backup", "Your previous profile data has been restored."};
// The warning names the cause in a sentence of its own.
QList<Notice> damaged(const QString& cause, const QString& loaded = {}, const QString& keptAs = "profiles.json.damaged")
{
    const QString kept = "The profiles file could not be used and was kept as " + keptAs + ". ";
    return {{"Profile Data Warning", kept + cause + loaded}};
}

class ProfilesFileTest : public ::testing::Test {
protected:
    ProfilesFile makeFile() { return ProfilesFile(dir->path(), disk, classify); }
    QByteArray content(const QString& name) const { return test::readFile(dir->filePath(name)); }
    // Writes the files whose content is given, in a new empty folder.
    void reset(const QByteArray& file, const QByteArray& backup = {})
    {
        dir.emplace();
        disk = std::make_shared<ScriptedFileSystem>();
        for (const auto& [name, bytes] : {std::pair("profiles.json", file), {"profiles.json.backup", backup}}) {
            if (!bytes.isEmpty())
                test::writeFile(dir->filePath(name), bytes);
        }
    }
    QStringList files() const { return QDir(dir->path()).entryList(QDir::Files, QDir::Name); }

    std::optional<QTemporaryDir> dir{std::in_place};
    std::shared_ptr<ScriptedFileSystem> disk = std::make_shared<ScriptedFileSystem>();
};

TEST_F(ProfilesFileTest, SaveKeepsTheFileItReplacesMovesFilesByRenamesAndSkipsWhatIsOnDisk)
{
    const auto replaced = [](const QString& name) {
        return QStringList{"write " + name + ".velmor-*", "rename " + name + ".velmor-* " + name};
    };
    for (const QByteArray before : {"v6:A", "old:A"}) {
        reset(before, "v6:0");
        int judged = 0;
        ProfilesFile file(dir->path(), disk, [&judged](const QByteArray& bytes) { return ++judged, classify(bytes); });
        // Loaded with the caller's decoder, saved without judging or reading profiles.json again.
        EXPECT_EQ(file.load(classify).bytes, before);
        disk->clearChanges();
        EXPECT_EQ(file.save("v6:B").notices, QList<Notice>{});
        // The legacy format is kept once, before the first save over it.
        const bool isLegacy = classify(before) == Format::legacy;
        const QStringList keptLegacy{"write profiles.json.legacy.velmor-*",
                                     "keep profiles.json.legacy.velmor-* profiles.json.legacy"};
        EXPECT_EQ(disk->changes(), (isLegacy ? keptLegacy : QStringList())
                                       + replaced("profiles.json.backup") + replaced("profiles.json"));
        EXPECT_EQ(disk->reads(), QStringList{"profiles.json.velmor-*"});
        EXPECT_EQ(content("profiles.json.backup"), before);
        EXPECT_EQ(judged, 0);

        // What is on disk is not written again: its stamp tells, else its bytes.
        disk->clearChanges();
        EXPECT_EQ(file.save("v6:B").outcome, Outcome::unchanged);
        EXPECT_TRUE(disk->reads().isEmpty());
        for (const QByteArray theirs : {"v6:B", "v6:X"}) {
            // Another program saving it: a new file of the same size renamed over it.
            test::writeFile(dir->filePath("other"), theirs);
            ASSERT_EQ(std::rename(qPrintable(dir->filePath("other")), qPrintable(dir->filePath("profiles.json"))), 0);
            EXPECT_EQ(file.saveAgain().outcome, theirs == "v6:B" ? Outcome::unchanged : Outcome::written);
        }
        EXPECT_EQ(content("profiles.json.backup"), "v6:X");
        EXPECT_EQ(judged, 1);
    }
}

// A profiles file someone else wrote (replaced, written in place, made where there was
// none, or written while a save ran) is kept aside once, under a name of its own, before
// a save replaces it; one that cannot be kept is not written over.
TEST_F(ProfilesFileTest, AVersionSomeoneElseWroteIsKeptAsideOnceBeforeASave)
{
    const auto external = [this](int n) {
        return Notice{"Profile Data Warning",
                      "“" + dir->filePath("profiles.json") + "” was changed outside Velmor while Velmor ran. That "
                      "version is kept as “" + dir->filePath(n > 1 ? QString("profiles.json.external-%1").arg(n)
                                                                    : QString("profiles.json.external")) +
                          "”, and Velmor's profiles are saved in its place."};
    };
    const auto replaceBy = [this](const QByteArray& theirs) {
        test::writeFile(dir->filePath("other"), theirs);
        ASSERT_EQ(std::rename(qPrintable(dir->filePath("other")), qPrintable(dir->filePath("profiles.json"))), 0);
    };
    reset("v6:A");
    ProfilesFile file = makeFile();
    file.load();
    EXPECT_TRUE(file.save("v6:B").notices.isEmpty());
    replaceBy("v6:X");
    EXPECT_EQ(file.save("v6:C").notices, QList<Notice>{external(1)});
    EXPECT_EQ(content("profiles.json.external"), "v6:X");
    EXPECT_EQ(content("profiles.json"), "v6:C");
    EXPECT_TRUE(file.save("v6:D").notices.isEmpty()) << "its own saves are no one else's";
    EXPECT_TRUE(file.saveAgain().notices.isEmpty());

    // Written in place, same size; then a save that cannot keep it writes nothing over it.
    test::writeFile(dir->filePath("profiles.json"), "v6:Y");
    disk->failNext("write profiles.json.external.velmor-*", "Disk full");
    const ProfilesFile::SaveResult refused = file.save("v6:E");
    EXPECT_EQ(refused.outcome, Outcome::failed);
    EXPECT_EQ(refused.notices, QList<Notice>{saveFailed("“" + dir->filePath("profiles.json") +
                                                        "” was changed outside Velmor and could not be kept aside: "
                                                        "Disk full")});
    EXPECT_EQ(content("profiles.json"), "v6:Y");
    EXPECT_EQ(file.save("v6:E").notices, QList<Notice>{external(2)});
    EXPECT_EQ(content("profiles.json.external-2"), "v6:Y");
    EXPECT_EQ(content("profiles.json.external"), "v6:X");

    // Written while a save runs: kept too, the save going on over it.
    disk->beforeNext("read profiles.json.velmor-*", [&] { replaceBy("v6:Z"); });
    EXPECT_EQ(file.save("v6:F").notices, QList<Notice>{external(3)});
    EXPECT_EQ(content("profiles.json.external-3"), "v6:Z");
    EXPECT_EQ(content("profiles.json"), "v6:F");

    // A file made where the load found none; an unreadable one takes the damaged path.
    reset({});
    ProfilesFile fresh = makeFile();
    fresh.load();
    test::writeFile(dir->filePath("profiles.json"), "v6:N");
    EXPECT_EQ(fresh.save("v6:1").notices, QList<Notice>{external(1)});
    EXPECT_EQ(content("profiles.json.external"), "v6:N");
    test::writeFile(dir->filePath("profiles.json"), "garbage");
    fresh.save("v6:2");
    EXPECT_EQ(files(), (QStringList{"profiles.json", "profiles.json.backup", "profiles.json.damaged",
                                    "profiles.json.external"}));
}

// A failed save restores the backup only when profiles.json is then missing.
TEST_F(ProfilesFileTest, FailedSaveLeavesTheLastGoodFileAndNoTemporaries)
{
    const Notice failed = saveFailed("Disk full");
    const Notice critical{"Critical Error", "Failed to restore from backup: Disk full"};
    const QStringList both{"profiles.json", "profiles.json.backup"};
    const struct {
        QByteArray file, backup;
        QString step; // fails `times` times; none: the temporary file stores other bytes
        int times;
        QList<Notice> notices;
        QStringList files;
    } rows[] = {
        {"v6:A", {}, {}, 1, {saveFailed("The saved profiles could not be read back.")}, both},
        {"v6:A", {}, "rename profiles.json.backup.velmor-*", 1, {failed}, {"profiles.json"}},
        {"v6:A", {}, "read profiles.json.velmor-*", 1, {failed}, both},
        {"v6:A", {}, "rename profiles.json.velmor-*", 1, {failed}, both},
        {{}, "v6:A", "write profiles.json.velmor-*", 1, {failed, restored}, both},
        {{}, "v6:A", "write profiles.json.velmor-*", 2, {failed, critical}, {"profiles.json.backup"}},
        {{}, "garbage", "write profiles.json.velmor-*", 1, {failed}, {"profiles.json.backup"}},
        {{}, {}, "write profiles.json.velmor-*", 1, {failed}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        reset(row.file, row.backup);
        ProfilesFile file = makeFile();
        file.load();
        if (row.step.isEmpty())
            disk->garbleNextWrite("profiles.json.velmor-*");
        else
            disk->failNext(row.step, "Disk full", row.times);
        const ProfilesFile::SaveResult result = file.save("v6:B");
        EXPECT_EQ(result.outcome, Outcome::failed);
        EXPECT_EQ(result.notices, row.notices);
        EXPECT_EQ(files(), row.files);
        if (row.files.contains("profiles.json")) {
            EXPECT_EQ(content("profiles.json"), "v6:A");
        }
    }
}

TEST_F(ProfilesFileTest, DamagedFileIsKeptAsideAndNeverWrittenOver)
{
    // Found at load: kept, reported once, the backup offered in its place.
    reset("garbage", "v6:A");
    ProfilesFile file = makeFile();
    ProfilesFile::Loaded loaded = file.load();
    EXPECT_EQ(loaded.bytes, "v6:A");
    EXPECT_TRUE(loaded.fromBackup && loaded.wasDamaged);
    const QString notJson = QString("“%1” is not valid JSON.").arg(dir->filePath("profiles.json"));
    EXPECT_EQ(loaded.notices, damaged(notJson, " Your profiles were loaded from the backup."));
    EXPECT_TRUE(file.save("v6:A").notices.isEmpty());

    // Damaged while running, twice: each kept under a name of its own before the
    // save, the first one never written over, the backup left as it is.
    test::writeFile(dir->filePath("profiles.json"), "{}");
    EXPECT_EQ(file.save("v6:B").notices,
              damaged(QString("“%1” holds no profiles in a form Velmor can read.").arg(dir->filePath("profiles.json")),
                      {}, "profiles.json.damaged-2"));
    test::writeFile(dir->filePath("profiles.json"), "garbage 2");
    EXPECT_EQ(file.save("v6:B").notices, damaged(notJson, {}, "profiles.json.damaged-3"));
    EXPECT_EQ(content("profiles.json.damaged"), "garbage");
    EXPECT_EQ(content("profiles.json.damaged-2"), "{}");
    EXPECT_EQ(content("profiles.json.damaged-3"), "garbage 2");
    EXPECT_EQ(content("profiles.json.backup"), "v6:A");

    // Keeping it fails: the save stops, and the backup is restored once it is kept.
    test::writeFile(dir->filePath("profiles.json"), "garbage 3");
    disk->failNext("keep profiles.json.damaged.velmor-*", "Input/output error");
    EXPECT_EQ(file.save("v6:C").notices,
              (QList<Notice>{saveFailed("The unreadable profiles file could not be kept aside."), restored}));
    EXPECT_EQ(content("profiles.json"), "v6:A");
    EXPECT_EQ(content("profiles.json.damaged-4"), "garbage 3");
    EXPECT_EQ(files().filter("velmor-"), QStringList{}) << "no temporary file stays";

    // Not even readable, and no usable backup: moved aside whole.
    reset("unreadable", "garbage");
    disk->failNext("read profiles.json", "Permission denied");
    loaded = makeFile().load();
    EXPECT_FALSE(loaded.bytes);
    EXPECT_EQ(loaded.notices, damaged("Permission denied", " The default profiles were loaded."));
    EXPECT_EQ(content("profiles.json.damaged"), "unreadable");
}

} // namespace
