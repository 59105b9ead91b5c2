#include "IconMachines.h"

#include "platform/Text.h"
#include "sync/IconFolder.h"
#include "sync/IconKeptCopies.h"
#include "sync/IconSyncBase.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace velmor;
using namespace velmor::test;

namespace {

class KeptCopies : public IconMachines {
protected:
    // A and B both change "scan" while apart; B's is the later: B keeps A's beside it.
    void conflict(Machine& a, Machine& b, const char* theirs, const char* mine)
    {
        draw(a, svgOf("white"), 900);
        sync(a);
        sync(b);
        draw(a, svgOf(theirs), 120);
        sync(a);
        draw(b, svgOf(mine), 60);
        sync(b);
    }
};

// The icons folder as a second Velmor started meanwhile finds it: `during` runs while a
// download's file is written, before it takes the icon's name.
class FolderWithVisitor final : public IconFolder {
public:
    using IconFolder::IconFolder;
    std::function<void()> during;

protected:
    int fault(Step step) const override
    {
        if (step == Step::write && during)
            during();
        return 0;
    }
};

// A and B both change an icon while apart. When B's check of A's drawing gives no
// verdict (no drawing program, a check killed from outside, one over its time limit or
// failing), B's drawing goes up only with A's kept beside it; when A's is the later, it
// waits in the cloud and B's stays here. Only the check's refusal means nothing to keep.
TEST_F(KeptCopies, TheOtherSidesDrawingWithoutAVerdictIsKept)
{
    const auto a = machine();
    const auto b = machine();
    const QList<IconRenderOutcome> outcomes{IconRenderOutcome::unavailable, IconRenderOutcome::crashed,
                                            IconRenderOutcome::overran};
    for (int i = 0; i < outcomes.size(); ++i) {
        SCOPED_TRACE(i);
        const QString icon = QString("i%1.svg").arg(i);
        const QByteArray theirs = svgOf(QByteArray("#a0000" + QByteArray::number(i)).constData());
        const QByteArray mine = svgOf(QByteArray("#b0000" + QByteArray::number(i)).constData());
        draw(*a, svgOf("red"), 600, icon);
        sync(*a, {icon});
        sync(*b, {icon});
        draw(*a, theirs, 120, icon);
        sync(*a, {icon});
        // B's own drawing program, which knows nothing of A's checks.
        renderer.endings.insert(theirs, outcomes[i]);
        renderer.outcomes->clear();
        renderer.drawing.clear();
        draw(*b, mine, 60, icon);
        sync(*b, {icon});
        EXPECT_EQ(inCloud(QString("i%1").arg(i)), mine);
        EXPECT_EQ(b->drawing(QString("i%1 2.svg").arg(i)), theirs) << b->files().join(',').toStdString();
        sync(*a, {icon});
        EXPECT_EQ(a->drawing(icon), mine);
    }
    EXPECT_EQ(b->kept.size(), 3);

    // The other side's drawing is the later one: it is not written here unchecked, and
    // this computer's drawing does not go up over it either.
    draw(*a, svgOf("red"), 600);
    sync(*a);
    sync(*b);
    renderer.endings.insert(svgOf("olive"), IconRenderOutcome::unavailable);
    draw(*b, svgOf("navy"), 120);
    draw(*a, svgOf("olive"), 60);
    sync(*a);
    for (int round = 0; round < 2; ++round)
        sync(*b);
    EXPECT_EQ(inCloud(), svgOf("olive"));
    EXPECT_EQ(b->drawing("scan.svg"), svgOf("navy"));
    EXPECT_FALSE(QFileInfo::exists(b->path("scan 2.svg")));

    // A refusal is a verdict: that drawing is no icon, and is not kept.
    putIcon("bad", svgOf("gray"), 30);
    renderer.endings.insert(svgOf("gray"), IconRenderOutcome::refused);
    draw(*b, svgOf("teal"), 10, "bad.svg");
    sync(*b, {"bad.svg"});
    EXPECT_EQ(inCloud("bad"), svgOf("teal"));
    EXPECT_FALSE(QFileInfo::exists(b->path("bad 2.svg")));
}

// B keeps A's "scan" as "scan 2.svg"; C has an icon "scan 2.svg" of its own, older than
// the kept drawing. When C's tool reaches B, C's drawing takes the name on B and the kept
// copy moves aside; the kept copy does not go up over it, and C's record and machine stay
// as they were. A later kept copy's name avoids the names of records in the cloud.
TEST_F(KeptCopies, AKeptCopyGivesWayToAnotherMachinesIconOfItsName)
{
    const auto a = machine();
    const auto b = machine();
    const auto c = machine();
    conflict(*a, *b, "blue", "green");
    ASSERT_EQ(b->drawing("scan 2.svg"), svgOf("blue"));
    draw(*c, svgOf("purple"), 3000, "scan 2.svg");
    sync(*c, {"scan 2.svg"});
    const int savesBefore = cloud.callCount(cloud::MemoryCloud::Call::saveRecord);

    for (int round = 0; round < 2; ++round)
        sync(*b, {"scan.svg", "scan 2.svg"});
    EXPECT_EQ(inCloud("scan 2"), svgOf("purple"));
    EXPECT_EQ(cloud.callCount(cloud::MemoryCloud::Call::saveRecord), savesBefore) << "nothing goes up";
    EXPECT_EQ(b->drawing("scan 2.svg"), svgOf("purple"));
    EXPECT_EQ(b->drawing("scan 2 2.svg"), svgOf("blue"));
    ASSERT_EQ(b->kept.size(), 2);
    EXPECT_TRUE(b->kept.last().contains("“scan 2 2.svg”")) << b->kept.last().toStdString();
    sync(*c, {"scan 2.svg"});
    EXPECT_EQ(c->drawing("scan 2.svg"), svgOf("purple"));
    EXPECT_TRUE(c->kept.isEmpty() && c->problems.isEmpty());

    // The next kept copy: "scan 2" is taken here, "scan 3" by a record in the cloud.
    putIcon("scan 3", svgOf("black"), 5000);
    draw(*a, svgOf("orange"), 50);
    sync(*a);
    draw(*b, svgOf("yellow"), 40);
    sync(*b);
    EXPECT_EQ(b->drawing("scan 4.svg"), svgOf("orange"));
    // A kept copy that no record names goes up once a tool uses it.
    sync(*b, {"scan 4.svg"});
    EXPECT_EQ(inCloud("scan 4"), svgOf("orange"));
    EXPECT_EQ(b->files(), (QStringList{"scan 2 2.svg", "scan 2.svg", "scan 4.svg", "scan.svg"}));
}

// The user puts B's kept copy of A's drawing on a tool: it is an icon of its own from then
// on, reaches A with the tool and syncs like any other, nothing told but the first keep. A
// kept copy the user redrew is theirs: against another machine's icon of its name the
// later drawing stays, the other kept beside it. No copy is kept under a name a tool uses.
TEST_F(KeptCopies, AKeptCopyPutOnAToolTravelsAsAnIconOfItsOwn)
{
    const auto a = machine();
    const auto b = machine();
    conflict(*a, *b, "blue", "green");
    ASSERT_EQ(b->drawing("scan 2.svg"), svgOf("blue"));
    const QStringList tools{"scan.svg", "scan 2.svg"};
    sync(*b, tools);
    EXPECT_EQ(inCloud("scan 2"), svgOf("blue"));
    sync(*a, tools);
    EXPECT_EQ(a->drawing("scan 2.svg"), svgOf("blue"));
    EXPECT_EQ(a->drawing("scan.svg"), svgOf("green"));
    EXPECT_FALSE(IconKeptCopies(b->data.path()).contains("scan 2.svg")) << "an icon now";
    draw(*b, svgOf("purple"), 10, "scan 2.svg");
    restart(*b);
    sync(*b, tools);
    sync(*a, tools);
    EXPECT_EQ(a->drawing("scan 2.svg"), svgOf("purple"));
    EXPECT_TRUE(a->kept.isEmpty() && a->problems.isEmpty()) << (a->kept + a->problems).join('\n').toStdString();
    EXPECT_EQ(b->kept.size(), 1);
    EXPECT_TRUE(b->problems.isEmpty()) << b->problems.join('\n').toStdString();

    // A tool names "scan 3" (its icon not here yet): the next kept copy is "scan 4", redrawn here.
    sync(*b, {"scan 3.svg"});
    conflict(*a, *b, "red", "yellow");
    ASSERT_EQ(b->drawing("scan 4.svg"), svgOf("red")) << b->files().join(',').toStdString();
    draw(*b, svgOf("teal"), 5, "scan 4.svg");
    putIcon("scan 4", svgOf("black"), 3000);
    sync(*b, {"scan 4.svg"});
    EXPECT_EQ(inCloud("scan 4"), svgOf("teal"));
    EXPECT_EQ(b->drawing("scan 4 2.svg"), svgOf("black"));
}

// Past ten kept copies the message names ten and says that the log names each; it does.
TEST_F(KeptCopies, EveryKeptCopyIsNamedInTheLog)
{
    const auto a = machine();
    const auto b = machine();
    QStringList icons;
    for (int i = 0; i < 12; ++i)
        icons << QString("i%1.svg").arg(i, 2, 10, QChar('0'));
    for (const QString& icon : icons) {
        draw(*a, svgOf("white"), 900, icon);
        draw(*b, svgOf("white"), 900, icon);
    }
    sync(*a, icons);
    sync(*b, icons);
    for (const QString& icon : icons) {
        draw(*a, svgOf(("#a" + icon.mid(1, 2).toLatin1() + "000").constData()), 120, icon);
        draw(*b, svgOf(("#b" + icon.mid(1, 2).toLatin1() + "000").constData()), 60, icon);
    }
    sync(*a, icons);
    sync(*b, icons);
    ASSERT_EQ(b->kept.size(), 1);
    EXPECT_TRUE(b->kept.first().endsWith("“i09 2.svg” and 2 more (each named in the Event Log)."))
        << b->kept.first().toStdString();
    ASSERT_EQ(b->logged.size(), 12) << b->logged.join('\n').toStdString();
    EXPECT_EQ(b->logged.last(), "Kept in “" + QDir::toNativeSeparators(b->icons.path()) + "”: “i11 2.svg”");
}

// A kill between making kept copies and telling of them: the next start tells them,
// once, as long as they are there.
TEST_F(KeptCopies, KeptCopiesBeforeAKillAreToldAtTheNextStart)
{
    const auto a = machine();
    const auto b = machine();
    for (const QString icon : {"scan.svg", "x.svg"}) {
        draw(*a, svgOf("white"), 900, icon);
        draw(*b, svgOf("white"), 900, icon);
    }
    sync(*a, {"scan.svg", "x.svg"});
    sync(*b, {"scan.svg", "x.svg"});
    draw(*a, svgOf("blue"), 120);
    draw(*a, svgOf("red"), 120, "x.svg");
    sync(*a, {"scan.svg", "x.svg"});
    draw(*b, svgOf("green"), 60);
    draw(*b, svgOf("teal"), 60, "x.svg");

    // Killed while the later drawing goes up, its predecessor kept beside it.
    cloud.setHolding(true);
    b->sync->syncIcons({"scan.svg", "x.svg"});
    queue->runUntilIdle();
    while (!cloud.heldCalls().contains("saveRecord x")) {
        ASSERT_FALSE(cloud.heldCalls().isEmpty());
        cloud.release(0);
        queue->runUntilIdle();
    }
    b->sync.reset();
    cloud.setHolding(false);
    cloud.releaseAll();
    queue->runUntilIdle();
    ASSERT_EQ(b->drawing("scan 2.svg"), svgOf("blue"));
    ASSERT_EQ(b->drawing("x 2.svg"), svgOf("red"));
    ASSERT_TRUE(b->kept.isEmpty());

    restart(*b);
    sync(*b, {"scan.svg", "x.svg"});
    ASSERT_EQ(b->kept.size(), 1);
    EXPECT_TRUE(b->kept.first().contains("“scan 2.svg”, “x 2.svg”")) << b->kept.first().toStdString();
    restart(*b);
    sync(*b, {"scan.svg", "x.svg"});
    EXPECT_EQ(b->kept.size(), 1) << "told once";

    // A kept copy removed before it was told is not told.
    velmor::IconKeptCopies noted(b->data.path());
    noted.add("gone 2.svg", {});
    restart(*b);
    sync(*b, {"scan.svg"});
    EXPECT_EQ(b->kept.size(), 1);
    EXPECT_FALSE(velmor::IconKeptCopies(b->data.path()).contains("gone 2.svg"));
}

// Problems of several causes make one message that counts each and sends to the log,
// which lists them all; a name shows as it is, with no marks escaped around it.
TEST_F(KeptCopies, AMessageForSeveralCausesCountsEachAndNamesTheLog)
{
    const auto m = machine();
    const QTemporaryDir outside;
    ASSERT_TRUE(QFile::link(outside.filePath("x.svg"), m->path("l1.svg")));
    ASSERT_TRUE(QFile::link(outside.filePath("y.svg"), m->path("l2.svg")));
    ASSERT_TRUE(QDir(m->icons.path()).mkdir("f.svg"));
    const cloud::Error damaged(cloud::Error::Code::internalError, "The record “d” in the cloud folder is damaged.");
    cloud.failNext(cloud::MemoryCloud::Call::fetchRecord, damaged);
    sync(*m, {"d", "f.svg", "l1.svg", "l2.svg", "ok.svg"});
    ASSERT_EQ(m->problems.size(), 1);
    EXPECT_EQ(m->problems.first(), "4 icons could not be synced: 1 iCloud error, 1 folder, 2 links. See the Event Log.");
    ASSERT_EQ(m->logged.size(), 4);
    EXPECT_TRUE(m->logged[0].contains("damaged") && m->logged[1].contains("not a file") &&
                m->logged[2].contains("“l1.svg”") && m->logged[3].contains("“l2.svg”"))
        << m->logged.join('\n').toStdString();

    const QString name = QString::fromUtf8("\u05e1\u05e8\u05d9\u05e7\u05d4 scan.svg");
    ASSERT_TRUE(QFile::link(outside.filePath("z.svg"), m->path(name)));
    sync(*m, {name});
    ASSERT_EQ(m->problems.size(), 2);
    const QString shown = text::displayMessage(m->problems.last());
    EXPECT_TRUE(shown.contains(u'“' + name + u'”')) << shown.toStdString();
    EXPECT_FALSE(shown.contains("\\u{")) << shown.toStdString();
    EXPECT_EQ(m->logged.size(), 4) << "one problem: the message says it all";
}

// A second Velmor started on the same folders while a download is written sweeps only
// what processes that are gone left behind: the download lands.
TEST_F(KeptCopies, ASecondProcessSweepsOnlyTheTemporariesOfProcessesThatAreGone)
{
    const auto a = machine();
    draw(*a, svgOf("red"), 60);
    sync(*a);

    const QTemporaryDir icons;
    const QTemporaryDir data;
    auto folder = std::make_unique<FolderWithVisitor>(icons.path());
    QStringList sweptMeanwhile;
    folder->during = [&] {
        sweptMeanwhile += IconFolder(icons.path()).sweepTemporaries();
        CloudKitIconSync second(*a->database, icons.path(), temporary.path(), data.path());
    };
    auto database = cloud.makeClient()->privateCloudDatabase();
    CloudKitIconSync sync(*database, icons.path(), temporary.path(), data.path(), std::move(folder));
    sync.syncIcons({"scan.svg"});
    queue->runUntilIdle();
    EXPECT_TRUE(sweptMeanwhile.isEmpty());
    EXPECT_EQ(readFile(QDir(icons.path()).filePath("scan.svg")), svgOf("red"));
    EXPECT_EQ(QDir(icons.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"scan.svg"});

    // What the sweep takes: files of processes that are gone, and of the older kind
    // that names none while no other Velmor runs; never a link.
    const QString live = QString(".velmor-icon-%1-abc").arg(::getppid());
    for (const QString& name : {live, QString(".velmor-icon-4000000-abc"), QString(".velmor-icon-zz9")})
        writeFile(QDir(icons.path()).filePath(name), "part");
    ASSERT_TRUE(QFile::link(temporary.filePath("t"), QDir(icons.path()).filePath(".velmor-icon-1-x")));
    temporaryFolders::Processes others{[&](qint64 pid) { return pid == ::getppid(); }, [] { return true; }};
    EXPECT_EQ(IconFolder(icons.path()).sweepTemporaries(others), QStringList{".velmor-icon-4000000-abc"});
    temporaryFolders::Processes alone{[](qint64) { return false; }, [] { return false; }};
    QStringList swept = IconFolder(icons.path()).sweepTemporaries(alone);
    swept.sort();
    EXPECT_EQ(swept, (QStringList{live, ".velmor-icon-zz9"}));
    EXPECT_TRUE(QFileInfo(QDir(icons.path()).filePath(".velmor-icon-1-x")).isSymLink());
}

// Many temporaries someone planted under a running process's name: the start's sweep
// runs on the icons' file queue, never on the window's thread, and asks about each
// process once.
TEST_F(KeptCopies, PlantedTemporariesAreSweptAwayFromTheWindowAndEachProcessIsAskedOnce)
{
    const QTemporaryDir icons;
    const QTemporaryDir data;
    constexpr int planted = 20'000; // 100,000 by hand
    for (int i = 0; i < planted; ++i)
        writeFile(QDir(icons.path()).filePath(QString(".velmor-icon-%1-%2").arg(::getppid()).arg(i, 0, 36)), "");
    const QString dead = QDir(icons.path()).filePath(".velmor-icon-4000000-abc");
    writeFile(dead, "part");

    serialQueues.makeStepwise("com.velmor.icon-writes");
    auto database = cloud.makeClient()->privateCloudDatabase();
    QElapsedTimer held;
    held.start();
    CloudKitIconSync sync(*database, icons.path(), temporary.path(), data.path());
    EXPECT_LT(held.elapsed(), 50) << "ms on the window's thread";
    EXPECT_TRUE(QFileInfo::exists(dead));
    serialQueues.find("com.velmor.icon-writes")->runAll();
    EXPECT_FALSE(QFileInfo::exists(dead));
    EXPECT_EQ(QDir(icons.path()).entryList(QDir::Files | QDir::Hidden).size(), planted);

    QList<qint64> asked;
    const temporaryFolders::Processes counted{[&](qint64 pid) {
                                                  asked.append(pid);
                                                  return true;
                                              },
                                              [] { return true; }};
    EXPECT_TRUE(IconFolder(icons.path()).sweepTemporaries(counted).isEmpty());
    EXPECT_EQ(asked, QList<qint64>{::getppid()});
}

// A file of an earlier version (no drawings noted) still reads: its copies count as unchanged.
TEST(IconKeptCopiesFile, RoundTripsAndDropsWhatIsNoPlainName)
{
    using Copy = IconKeptCopies::Copy;
    const QByteArray hash = IconSyncBase::hashOf("x");
    const IconKeptCopies::Noted noted{{{"scan 2.svg", Copy{false, hash}}, {"x 2.SVG", Copy{true, {}}}},
                                      {{"Mark.SVG", hash}}};
    EXPECT_EQ(IconKeptCopies::decode(IconKeptCopies::encode(noted)), noted);
    const IconKeptCopies::Noted old = IconKeptCopies::decode(
        R"({"untold":["../x.svg","a.svg",7],"told":["b/c.svg"],"drawings":{"a.svg":"00"},"spellings":{"../m.SVG":"00"}})");
    EXPECT_EQ(old.copies, (QMap<QString, Copy>{{"a.svg", Copy{false, {}}}}));
    EXPECT_TRUE(old.spellings.isEmpty());
    EXPECT_TRUE(IconKeptCopies::decode("not json").copies.isEmpty());
}

} // namespace
