#include "StoreFixture.h"
#include "platform/RegularFile.h"
#include "store/DataFolderSweep.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

// The fixed names earlier versions wrote their temporary files under.
const QStringList olderTemporaries{"profiles.json.tmp", "profiles.json.backup.tmp", "profiles.json.damaged.tmp",
                                   "profiles.json.external.tmp", "profiles.json.legacy.tmp"};

class KeptAsideTest : public StoreFixture {
protected:
    files::FileKind kindAt(const QString& name) const { return files::fileKind(supportPath(name)); }
    void saveAs(ProfileStore& store, const QString& name)
    {
        renameUser(store, name);
        store.save();
        queue->runUntilIdle();
    }
    // What the user sees, one line a notice.
    QStringList told() const
    {
        QStringList lines;
        for (const auto& [title, message] : notices)
            lines.append(title + ": " + message);
        return lines;
    }
    QString userOnDisk() const { return profilesOnDisk().userProfiles.first().name; }
    // A hand edit: the document on disk with its user renamed.
    QByteArray handEdit(const QString& name) const
    {
        PersistedProfiles document = profilesOnDisk();
        document.userProfiles.first().name = name;
        return json::encode(document.toJson());
    }
    void plant(const QString& name, bool link, const QString& target)
    {
        if (link)
            ASSERT_TRUE(QFile::link(target, supportPath(name))) << name.toStdString();
        else
            ASSERT_EQ(::mkfifo(qPrintable(supportPath(name)), 0600), 0) << name.toStdString();
    }
};

// A damaged profiles.json after another, and a folder in its place twice: each kept
// under a name of its own, told by that name, and every save goes on.
TEST_F(KeptAsideTest, EveryDamagedFileAndFolderIsKeptUnderANameOfItsOwnAndSavesGoOn)
{
    auto store = start();
    queue->runUntilIdle();
    writeProfiles("typo 1");
    saveAs(*store, "A");
    writeProfiles("{\"typo\": 2}");
    saveAs(*store, "B");
    for (const QString& name : {QStringLiteral("C"), QStringLiteral("D")}) {
        QFile::remove(profilesPath());
        ASSERT_TRUE(QDir().mkpath(profilesPath() + "/inside"));
        saveAs(*store, name);
        EXPECT_EQ(kindAt("profiles.json"), files::FileKind::regular);
        EXPECT_EQ(userOnDisk(), name);
    }
    EXPECT_EQ(readFile(supportPath("profiles.json.damaged")), "typo 1");
    EXPECT_EQ(readFile(supportPath("profiles.json.damaged-2")), "{\"typo\": 2}");
    EXPECT_TRUE(QFileInfo(supportPath("profiles.json.damaged-3/inside")).isDir());
    EXPECT_TRUE(QFileInfo(supportPath("profiles.json.damaged-4/inside")).isDir());
    const QStringList lines = told();
    ASSERT_EQ(lines.size(), 4) << lines.join('\n').toStdString();
    for (int n = 1; n <= 4; ++n) {
        const QString name = n == 1 ? QString("profiles.json.damaged") : QString("profiles.json.damaged-%1").arg(n);
        EXPECT_TRUE(lines[n - 1].startsWith("Profile Data Warning: The profiles file could not be used and was kept "
                                            "as " + name + ". "))
            << lines[n - 1].toStdString();
    }
    EXPECT_TRUE(lines[2].endsWith("“" + profilesPath() + "” is a folder, not a regular file.")) << lines[2].toStdString();
    EXPECT_FALSE(store->hasUnsavedChanges());
}

// Links and FIFOs at the fixed temporary names of earlier versions: while Velmor runs
// they are never written through (nothing outside changes, profiles.json stays a file);
// at the next start a link goes and a FIFO stays.
TEST_F(KeptAsideTest, WhatIsPlantedAtTemporaryNamesIsNeverWrittenThroughAndLinksGoAtStart)
{
    QTemporaryDir outside;
    const QString theirs = outside.filePath("theirs");
    for (const bool link : {true, false}) {
        SCOPED_TRACE(link ? "links" : "FIFOs");
        writeFile(theirs, "theirs");
        auto store = start();
        queue->runUntilIdle();
        for (const QString& name : olderTemporaries)
            plant(name, link, theirs);
        // A save keeps a hand edit and a damaged file aside, and refreshes the backup.
        writeProfiles(handEdit("By hand"));
        saveAs(*store, "Edit 1");
        writeProfiles("typo");
        saveAs(*store, "Edit 2");
        EXPECT_EQ(userOnDisk(), "Edit 2");
        EXPECT_EQ(kindAt("profiles.json"), files::FileKind::regular);
        EXPECT_EQ(readFile(theirs), "theirs");
        EXPECT_EQ(namesOf(profilesOnDisk("profiles.json.external").userProfiles), QStringList{"By hand"});
        EXPECT_EQ(readFile(supportPath("profiles.json.damaged")), "typo");
        for (const QString& name : olderTemporaries)
            EXPECT_EQ(kindAt(name), link ? files::FileKind::link : files::FileKind::other) << name.toStdString();

        store.reset();
        for (const QString& name : olderTemporaries)
            QFile::remove(supportPath(name));
        for (const QString& name : olderTemporaries)
            plant(name, link, theirs);
        store = start();
        saveAs(*store, "Edit 3");
        EXPECT_EQ(userOnDisk(), "Edit 3");
        EXPECT_EQ(kindAt("profiles.json"), files::FileKind::regular);
        EXPECT_EQ(readFile(theirs), "theirs");
        for (const QString& name : olderTemporaries)
            EXPECT_EQ(kindAt(name), link ? files::FileKind::missing : files::FileKind::other) << name.toStdString();
        EXPECT_EQ(QDir(outside.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"theirs"});
        store.reset();
        EXPECT_TRUE(QDir(supportDir.path()).removeRecursively() && QDir().mkpath(supportDir.path()));
        notices.clear();
    }
}

// A hand edit that only the save at quit finds is kept and told at the next start,
// with where it is and how to use it; one told while running is not told again.
TEST_F(KeptAsideTest, AHandEditFoundAtQuitIsToldAtTheNextStart)
{
    auto store = start();
    queue->runUntilIdle();
    writeProfiles(handEdit("Told at once"));
    saveAs(*store, "Mine");
    ASSERT_EQ(notices.size(), 1);
    writeProfiles(handEdit("By hand"));
    store->save(); // at quit: the outcome never reaches the window
    store.reset();
    notices.clear();

    store = start();
    queue->runUntilIdle();
    EXPECT_EQ(userOnDisk(), "Mine");
    const QString kept = supportPath("profiles.json.external-2");
    EXPECT_EQ(namesOf(profilesOnDisk("profiles.json.external-2").userProfiles), QStringList{"By hand"});
    EXPECT_EQ(told(), QStringList{"Profile Data Warning: “" + profilesPath() +
                                  "” was changed outside Velmor the last time Velmor ran. That version is kept as “" +
                                  kept + "”, and Velmor's profiles were saved in its place. To use that version, quit "
                                         "Velmor, put “profiles.json.external-2” in place of “" + profilesPath() +
                                  "”, and open Velmor again."});
    store.reset();
    notices.clear();
    store = start();
    queue->runUntilIdle();
    EXPECT_TRUE(notices.isEmpty()) << told().join('\n').toStdString();
}

// Killed between writing a kept copy and moving it to its name (an earlier version's
// fixed temporary name): at start the copy goes when profiles.json still holds it, and
// is otherwise kept under a free name and told. No temporary file stays.
TEST_F(KeptAsideTest, ACopyKilledOnItsWayAsideIsFinishedOrDroppedAtStart)
{
    start().reset();
    queue->runUntilIdle();
    const QByteArray same = readFile(profilesPath());
    writeFile(supportPath("profiles.json.external.tmp"), same);
    writeFile(supportPath("profiles.json.external-2.tmp"), handEdit("By hand"));
    writeFile(supportPath("profiles.json.external"), "an earlier one");
    writeFile(supportPath("profiles.json.damaged.tmp"), "typo");
    const QString dead = QString::number(endedProcess());
    writeFile(supportPath("profiles.json.external.velmor-" + dead + "-1"), handEdit("Half written"));

    auto store = start();
    queue->runUntilIdle();
    EXPECT_EQ(files(), (QStringList{"profiles.json", "profiles.json.damaged", "profiles.json.external",
                                    "profiles.json.external-2"}));
    EXPECT_EQ(readFile(supportPath("profiles.json.external")), "an earlier one");
    EXPECT_EQ(namesOf(profilesOnDisk("profiles.json.external-2").userProfiles), QStringList{"By hand"});
    EXPECT_EQ(readFile(supportPath("profiles.json.damaged")), "typo");
    const QString stopped = "Profile Data Warning: Velmor stopped while it kept a copy of “" + profilesPath() +
                            "” aside. That copy, which holds other data than the file now, is kept as “";
    QStringList lines = told();
    lines.sort();
    EXPECT_EQ(lines, (QStringList{stopped + supportPath("profiles.json.damaged") + "”.",
                                  stopped + supportPath("profiles.json.external-2") + "”."}));
}

// The sweep itself: links at the older names go whatever runs, never followed; a
// regular file there only while no other velmor runs; a folder stays.
TEST_F(KeptAsideTest, TheSweepOfOlderNamesRemovesLinksAlwaysAndFilesOnlyWhenNoOtherVelmorRuns)
{
    QTemporaryDir outside;
    writeFile(outside.filePath("theirs"), "theirs");
    ASSERT_TRUE(QFile::link(outside.filePath("theirs"), supportPath("profiles.json.tmp")));
    writeFile(supportPath("profiles.json.backup.tmp"), "half a backup");
    writeFile(supportPath("custom_usages.json.damaged.tmp"), "typo");
    ASSERT_TRUE(QDir().mkpath(supportPath("profiles.json.legacy.tmp")));
    for (const bool othersRun : {true, false}) {
        SCOPED_TRACE(othersRun);
        const temporaryFolders::Processes processes{[](qint64) { return false; }, [othersRun] { return othersRun; }};
        const SweptDataFolder swept = sweepDataFolder(supportDir.path(), processes);
        EXPECT_EQ(kindAt("profiles.json.tmp"), files::FileKind::missing);
        EXPECT_EQ(kindAt("profiles.json.backup.tmp"), othersRun ? files::FileKind::regular : files::FileKind::missing);
        EXPECT_EQ(kindAt("profiles.json.legacy.tmp"), files::FileKind::folder);
        EXPECT_EQ(readFile(outside.filePath("theirs")), "theirs");
        if (othersRun) {
            EXPECT_EQ(swept.kept, (QList<SweptDataFolder::KeptCopy>{{supportPath("custom_usages.json"),
                                                                     supportPath("custom_usages.json.damaged")}}));
        }
    }
    EXPECT_EQ(readFile(supportPath("custom_usages.json.damaged")), "typo");
}

} // namespace
