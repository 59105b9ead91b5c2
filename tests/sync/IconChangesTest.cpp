#include "model/CustomIcon.h"
#include "platform/MainQueue.h"
#include "platform/cloud/memory/MemoryCloud.h"
#include "IconMachines.h"

#include "support/TestSupport.h"
#include "sync/CloudKitIconSync.h"
#include "sync/IconFolder.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::cloud;
using Call = MemoryCloud::Call;

namespace {

QByteArray svg(const char* colour) { return test::svgOf(colour); }

QDateTime year(int y) { return QDateTime(QDate(y, 6, 1), QTime(12, 0), Qt::UTC); }

// The icons folder of a full or read-only disk.
class FaultyFolder final : public IconFolder {
public:
    using IconFolder::IconFolder;
    int createFault = 0;
    int writeFault = 0;

protected:
    int fault(Step step) const override { return step == Step::create ? createFault : writeFault; }
};

// Machines of one user, each with its own icons folder and base, on one cloud in memory,
// whose icons folders can be made full or read-only.
class IconChanges : public test::IconMachines {
protected:
    std::unique_ptr<IconFolder> makeFolder(const QString& path) override { return std::make_unique<FaultyFolder>(path); }
    static FaultyFolder& faults(const Machine& m) { return static_cast<FaultyFolder&>(*m.folder); }
    // A record as another client left it, with its preview.
    void putIcon(const QString& name, const QByteArray& document, const QDateTime& updatedAt)
    {
        IconMachines::putIcon(name, document, updatedAt, true);
    }
    int saves() const { return cloud.callCount(Call::saveRecord); }
};

// A drawing replaced on one side goes to the other whatever its file date says, also
// after a restart; a record dated in 2099 arrives dated now and does not revert the
// drawing made after it.
TEST_F(IconChanges, AChangeOnOneSideTravelsWhateverTheDates)
{
    const auto a = machine();
    const auto b = machine();
    draw(*a, svg("red"), QDateTime::currentDateTimeUtc().addSecs(-60));
    sync(*a);
    sync(*b);
    ASSERT_EQ(b->drawing("scan.svg"), svg("red"));

    // Copied in with its date kept (an archive, `cp -p`).
    draw(*a, svg("blue"), year(2020));
    sync(*a);
    EXPECT_EQ(inCloud(), svg("blue"));
    EXPECT_EQ(cloud.storedRecord("scan")->date("updatedAt"), year(2020));
    restart(*a);
    const int before = saves();
    sync(*a);
    EXPECT_EQ(a->drawing("scan.svg"), svg("blue")) << "stays";
    EXPECT_EQ(saves(), before);
    sync(*b);
    EXPECT_EQ(b->drawing("scan.svg"), svg("blue"));

    putIcon("scan", svg("green"), year(2099));
    sync(*b);
    ASSERT_EQ(b->drawing("scan.svg"), svg("green"));
    EXPECT_LE(QFileInfo(b->path("scan.svg")).lastModified(), QDateTime::currentDateTime());
    draw(*b, svg("yellow"), QDateTime::currentDateTimeUtc());
    for (int round = 0; round < 2; ++round)
        sync(*b);
    EXPECT_EQ(b->drawing("scan.svg"), svg("yellow"));
    EXPECT_EQ(inCloud(), svg("yellow"));
    sync(*a);
    EXPECT_EQ(a->drawing("scan.svg"), svg("yellow"));
    for (const auto* m : {a.get(), b.get()}) {
        EXPECT_TRUE(m->problems.isEmpty() && m->kept.isEmpty()) << (m->problems + m->kept).join('\n').toStdString();
        EXPECT_EQ(QDir(m->icons.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"scan.svg"});
    }
}

// Requests of one turn, and requests made while a pass runs, make one pass each; an icon
// synced before goes on syncing when no tool uses it any more.
TEST_F(IconChanges, RequestsCloseTogetherMakeOnePassAndKnownIconsGoOnSyncing)
{
    const auto m = machine();
    draw(*m, svg("red"), year(2024));
    cloud.setHolding(true);
    m->sync->requestSync({"scan.svg"});
    m->sync->requestSync({"scan"});
    queue->runUntilIdle();
    m->sync->requestSync({"scan.svg"});
    m->sync->requestSync({});
    cloud.setHolding(false);
    cloud.releaseAll();
    queue->runUntilIdle();
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), 2);
    EXPECT_EQ(saves(), 1);

    putIcon("scan", svg("blue"), year(2025));
    m->sync->requestSync({});
    queue->runUntilIdle();
    EXPECT_EQ(m->drawing("scan.svg"), svg("blue"));
}

// Both sides changed the drawing: the later stays under the icon's name everywhere, the
// other is kept beside it where the two met, and the user hears of it once.
TEST_F(IconChanges, ADrawingChangedOnBothSidesKeepsBothAndTellsOnce)
{
    const auto a = machine();
    const auto b = machine();
    draw(*a, svg("red"), year(2023));
    sync(*a);
    sync(*b);
    draw(*a, svg("blue"), QDateTime::currentDateTimeUtc().addSecs(-120));
    draw(*b, svg("green"), QDateTime::currentDateTimeUtc().addSecs(-60));
    sync(*a);
    for (int round = 0; round < 2; ++round)
        sync(*b);
    EXPECT_EQ(inCloud(), svg("green"));
    EXPECT_EQ(b->drawing("scan.svg"), svg("green"));
    EXPECT_EQ(b->drawing("scan 2.svg"), svg("blue"));
    ASSERT_EQ(b->kept.size(), 1);
    EXPECT_TRUE(b->kept.first().contains("“scan 2.svg”")) << b->kept.first().toStdString();
    sync(*a);
    EXPECT_EQ(a->drawing("scan.svg"), svg("green"));
    EXPECT_TRUE(a->kept.isEmpty());

    // The other way round: the drawing here is the later one and goes up; the record's is kept.
    draw(*b, svg("purple"), QDateTime::currentDateTimeUtc().addSecs(-30));
    sync(*b);
    draw(*a, svg("orange"), QDateTime::currentDateTimeUtc().addSecs(-10));
    sync(*a);
    EXPECT_EQ(inCloud(), svg("orange"));
    EXPECT_EQ(a->drawing("scan 2.svg"), svg("purple"));
    EXPECT_EQ(a->kept.size(), 1);
}

// Links in the icons folder (one to a file elsewhere, one dangling) are neither read,
// uploaded, followed nor replaced, and each is told once; a link planted between the
// look and the write is not written through either.
TEST_F(IconChanges, LinksInTheIconsFolderAreNeverWrittenThrough)
{
    const auto m = machine();
    const QTemporaryDir outside;
    test::writeFile(outside.filePath("private.svg"), "mine");
    ASSERT_TRUE(QFile::link(outside.filePath("private.svg"), m->path("l_old.svg")));
    ASSERT_TRUE(QFile::link(outside.filePath("new.svg"), m->path("dangling.svg")));
    putIcon("l_old", svg("red"), year(2030));
    putIcon("dangling", svg("red"), year(2030));
    for (int round = 0; round < 2; ++round)
        sync(*m, {"l_old.svg", "dangling.svg"});
    EXPECT_EQ(test::readFile(outside.filePath("private.svg")), "mine");
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::Files), QStringList{"private.svg"});
    EXPECT_TRUE(QFileInfo(m->path("l_old.svg")).isSymLink() && QFileInfo(m->path("dangling.svg")).isSymLink());
    EXPECT_EQ(saves(), 0);
    ASSERT_EQ(m->problems.size(), 1);
    EXPECT_EQ(m->problems.first(), "2 icons could not be synced: 2 links. See the Event Log.");
    ASSERT_EQ(m->logged.size(), 2);
    EXPECT_TRUE(m->logged.first().contains("is a link"));

    IconFolder folder(m->icons.path());
    ASSERT_TRUE(QFile::link(outside.filePath("planted.svg"), m->path("x.svg")));
    EXPECT_FALSE(folder.replace("x.svg", "bytes", year(2024), files::FileStamp{}).written);
    EXPECT_FALSE(QFileInfo::exists(outside.filePath("planted.svg")));
    EXPECT_EQ(QDir(m->icons.path()).entryList(QDir::Hidden | QDir::Files | QDir::System).size(), 3) << "no leftovers";
}

// A name that holds a direction mark or a control character never becomes a file or a
// record name, on any machine; the picker does not list such a file either.
TEST_F(IconChanges, NamesThatReadOtherThanWrittenAreRefusedAndToldOnce)
{
    const auto m = machine();
    const QStringList names{QString("scan") + QChar(0x202E) + "gvs.exe.svg", QString("a") + QChar(0x200F) + "b.svg",
                            "line\nbreak.svg"};
    draw(*m, svg("red"), year(2024), names[0]);
    for (const QString& name : names) {
        EXPECT_FALSE(isCustomIconFileName(name));
        putIcon(CloudKitIconSync::iconBaseName(name), svg("red"), year(2024));
    }
    for (int round = 0; round < 2; ++round)
        sync(*m, names);
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), 0);
    EXPECT_EQ(QDir(m->icons.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    ASSERT_EQ(m->problems.size(), 1);
    EXPECT_EQ(m->problems.first(), "3 icons could not be synced: 3 names that cannot travel. See the Event Log.");
    ASSERT_EQ(m->logged.size(), 3);
    EXPECT_TRUE(m->logged.first().startsWith("The icon name “"));
    EXPECT_TRUE(isCustomIconFileName("Logo.SVG") && isCustomIconFileName("x..svg"));
    EXPECT_FALSE(isCustomIconFileName("Logo.png") || isCustomIconFileName(".svg"));
}

// The picker lists "Logo.SVG"; the sync carries it under that very file name.
TEST_F(IconChanges, AnUpperCaseExtensionTravelsAsThePickerListsIt)
{
    const auto a = machine();
    const auto b = machine();
    draw(*a, svg("red"), year(2024), "Logo.SVG");
    sync(*a, {"Logo.SVG"});
    EXPECT_EQ(inCloud("Logo"), svg("red"));
    sync(*b, {"Logo.SVG"});
    EXPECT_EQ(QDir(b->icons.path()).entryList(QDir::Files), QStringList{"Logo.SVG"});
    EXPECT_EQ(b->drawing("Logo.SVG"), svg("red"));
}

// A full or read-only icons folder: each icon and cause is told once, nothing is left
// half written, and the next sync once the folder takes writes completes the downloads.
TEST_F(IconChanges, AFullOrReadOnlyFolderIsToldOncePerCauseAndTheNextSyncCompletes)
{
    const auto m = machine();
    putIcon("a", svg("red"), year(2024));
    putIcon("b", svg("blue"), year(2024));
    faults(*m).writeFault = ENOSPC;
    for (int round = 0; round < 2; ++round)
        sync(*m, {"a", "b"});
    ASSERT_EQ(m->problems.size(), 1);
    EXPECT_EQ(m->problems.first(),
              "2 icons could not be synced: 2 files that could not be written. See the Event Log.");
    EXPECT_TRUE(m->logged.first().contains("No space left on device"));
    faults(*m).writeFault = 0;
    faults(*m).createFault = EROFS;
    sync(*m, {"a", "b"});
    ASSERT_EQ(m->problems.size(), 2);
    EXPECT_TRUE(m->logged.last().contains("Read-only file system"));
    EXPECT_TRUE(QDir(m->icons.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

    faults(*m).createFault = 0;
    restart(*m); // as at the next start
    sync(*m, {"a", "b"});
    EXPECT_EQ(m->drawing("a.svg"), svg("red"));
    EXPECT_EQ(m->drawing("b.svg"), svg("blue"));
    EXPECT_EQ(m->problems.size(), 2);
}

TEST_F(IconChanges, HundredsOfDamagedRecordsMakeOneMessage)
{
    const auto m = machine();
    QStringList names;
    for (int i = 0; i < 300; ++i)
        names << QString("i%1").arg(i, 3, 10, QChar('0'));
    for (int round = 0; round < 2; ++round) {
        for (const QString& name : names)
            cloud.failNext(Call::fetchRecord,
                           Error(Error::Code::internalError, "The record “" + name + "” in the cloud folder is damaged."));
        sync(*m, names);
    }
    ASSERT_EQ(m->problems.size(), 1);
    EXPECT_EQ(m->problems.first(), "300 icons could not be synced: 300 iCloud errors. See the Event Log.");
    EXPECT_EQ(m->logged.first(), "The record “i000” in the cloud folder is damaged.");
}

// Tens of thousands of names are looked at in slices: other work gets its turns
// before the pass is through.
TEST_F(IconChanges, ManyNamesLeaveTheWindowsThreadTurns)
{
    const auto m = machine();
    QStringList names;
    for (int i = 0; i < 5000; ++i)
        names << QStringLiteral(".hidden%1").arg(i);
    m->sync->syncIcons(names);
    qsizetype toldBefore = -1;
    postToMain([&] { toldBefore = m->problems.size(); });
    queue->runUntilIdle();
    EXPECT_EQ(toldBefore, 0) << "the names held the thread until the pass was through";
    ASSERT_EQ(m->problems.size(), 1);
    EXPECT_TRUE(m->problems.first().startsWith("5000 icons could not be synced:")) << m->problems.first().toStdString();
}

// The base file: what is written reads back; damage costs the entries it touches only.
TEST(IconSyncBaseFile, RoundTripsAndDropsWhatItCannotRead)
{
    QHash<QString, IconSyncBase::Entry> entries;
    entries.insert("scan", {"scan.SVG", IconSyncBase::hashOf("x"), "tag", {files::FileKind::regular, 3,
                                                                          1'700'000'000'123'456'789, 2049, 1ull << 40}});
    const QByteArray bytes = IconSyncBase::encode("_owner", entries);
    const auto decoded = IconSyncBase::decode(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->first, "_owner");
    EXPECT_EQ(decoded->second, entries);
    QByteArray damaged = bytes;
    damaged.replace("\"scan.SVG\"", "\"../x.svg\"");
    EXPECT_TRUE(IconSyncBase::decode(damaged)->second.isEmpty());
    EXPECT_FALSE(IconSyncBase::decode(bytes.left(bytes.size() - 3)));
}

} // namespace
