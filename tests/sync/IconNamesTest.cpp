#include "model/CustomIconLibrary.h"
#include "platform/cloud/folder/FolderContainer.h"
#include "support/InProcessIconRenderer.h"
#include "support/TestSupport.h"
#include "sync/CloudKitIconSync.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <cerrno>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::cloud;

namespace {

QByteArray svg(const char* colour)
{
    return R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 8 8"><rect width="8" height="8" fill=")" +
           QByteArray(colour) + R"("/></svg>)";
}

QDateTime year(int y) { return QDateTime(QDate(y, 6, 1), QTime(12, 0), Qt::UTC); }

// An icon base name of exactly `bytes` UTF-8 bytes, two-byte letters first.
QString baseOfBytes(qsizetype bytes) { return QString(bytes / 3, QChar(0xF6)) + QString(bytes - bytes / 3 * 2, u'n'); }

// Machines of one user on one shared cloud folder (the folder database, in a temporary
// folder), each with its own icons, data and temporary folders.
class IconNames : public test::PlatformFixture {
protected:
    struct Machine {
        QTemporaryDir icons;
        QTemporaryDir data;
        QTemporaryDir temporary;
        std::shared_ptr<Container> container;
        std::unique_ptr<CloudKitIconSync> sync;
        QStringList messages;

        QString path(const QString& name) const { return icons.filePath(name); }
        QByteArray drawing(const QString& name) const
        {
            return QFileInfo::exists(path(name)) ? test::readFile(path(name)) : QByteArray();
        }
        QStringList files() const { return QDir(icons.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    };

    // `fault`: the errno of changes to the shared folder, as the test seam gives it.
    std::unique_ptr<Machine> machine(folder::ChangeFault fault = {})
    {
        auto m = std::make_unique<Machine>();
        FolderContainer::Options options{QUuid::createUuid()};
        options.changeFault = std::move(fault);
        m->container = FolderContainer::create("iCloud.Velmor", {share.path(), true}, options);
        restart(*m);
        return m;
    }
    // A new start over the machine's folders.
    static void restart(Machine& m)
    {
        m.sync.reset();
        m.sync = std::make_unique<CloudKitIconSync>(*m.container->privateCloudDatabase(), m.icons.path(),
                                                    m.temporary.path(), m.data.path());
        m.sync->setRefusalHandler([raw = &m](const QString& text) { raw->messages << text; });
        m.sync->setKeptHandler([raw = &m](const QString& text, const QStringList&) { raw->messages << text; });
    }
    void sync(Machine& m, const QStringList& names)
    {
        m.sync->syncIcons(names);
        queue->runUntilIdle();
    }
    static void draw(Machine& m, const QString& name, const QByteArray& bytes, const QDateTime& date)
    {
        test::writeFile(m.path(name), bytes);
        QFile file(m.path(name));
        ASSERT_TRUE(file.open(QIODevice::Append) && file.setFileTime(date, QFileDevice::FileModificationTime));
    }

    test::InProcessIconRenderer renderer;
    QTemporaryDir share;
};

// Every name the picker takes travels, up to a file name of 255 bytes: made on A it
// reaches B, changed on both while apart both drawings stay (the later under the name),
// and nothing is told but the kept drawing; no file name in the shared folder or in the
// temporary folders passes the limit, and no temporary is left.
TEST_F(IconNames, NamesUpToTheFileSystemsLimitTravelBetweenTwoMachines)
{
    for (const qsizetype bytes : {200, 236, 237, 240, 251}) {
        SCOPED_TRACE(bytes);
        const QString file = baseOfBytes(bytes) + ".svg";
        const auto a = machine();
        const auto b = machine();
        draw(*a, file, svg("red"), year(2024));
        sync(*a, {file});
        sync(*b, {file});
        EXPECT_EQ(b->drawing(file), svg("red"));

        draw(*a, file, svg("blue"), year(2025));
        draw(*b, file, svg("green"), year(2026));
        sync(*a, {file});
        sync(*b, {file});
        sync(*a, {file});
        EXPECT_EQ(a->drawing(file), svg("green"));
        EXPECT_EQ(b->drawing(file), svg("green"));
        ASSERT_EQ(b->files().size(), 2) << b->files().join('\n').toStdString();
        EXPECT_EQ(b->drawing(b->files().at(0) == file ? b->files().at(1) : b->files().at(0)), svg("blue"));
        EXPECT_TRUE(a->messages.isEmpty()) << a->messages.join('\n').toStdString();
        ASSERT_EQ(b->messages.size(), 1) << b->messages.join('\n').toStdString();
        EXPECT_TRUE(b->messages.first().contains("held different drawings"));

        QDirIterator all(share.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
        while (all.hasNext())
            EXPECT_LE(QFileInfo(all.next()).fileName().toUtf8().size(), 255);
        for (const Machine* m : {a.get(), b.get()})
            EXPECT_TRUE(QDir(m->temporary.path()).isEmpty());
    }
}

// A name whose file would pass the file systems' limit is told by its length, whatever else it holds.
TEST_F(IconNames, ANameTooLongIsToldByItsLength)
{
    const auto a = machine();
    const QString name = baseOfBytes(252);
    sync(*a, {name, name + QChar(0x200F) + ".svg"});
    ASSERT_EQ(a->messages.size(), 1) << a->messages.join('\n').toStdString();
    EXPECT_TRUE(a->messages.first().startsWith("2 icons could not be synced: 2 names that cannot travel."))
        << a->messages.first().toStdString();
    sync(*a, {baseOfBytes(300)});
    ASSERT_EQ(a->messages.size(), 2);
    EXPECT_TRUE(a->messages.last().contains("is too long. Its file name would be 304 bytes, and file names hold at "
                                            "most 255."))
        << a->messages.last().toStdString();
    EXPECT_FALSE(a->messages.last().contains("direction marks"));
}

// A name the cloud folder's file system cannot hold (one with a shorter limit than most)
// is told naming the icon and what the user can do; other refusals say the next sync tries again.
TEST_F(IconNames, ARefusedNameIsToldWithWhatToDo)
{
    const QString file = baseOfBytes(240) + ".svg";
    const auto a = machine([](const QString& path) { return QFileInfo(path).fileName().size() > 140 ? ENAMETOOLONG : 0; });
    draw(*a, file, svg("red"), year(2024));
    draw(*a, "gear.svg", svg("red"), year(2024));
    sync(*a, {file, "gear.svg"});
    ASSERT_EQ(a->messages.size(), 1) << a->messages.join('\n').toStdString();
    EXPECT_TRUE(a->messages.first().startsWith("The icon “" + baseOfBytes(240).left(20)))
        << a->messages.first().toStdString();
    EXPECT_TRUE(a->messages.first().contains("Give the icon a shorter name")) << a->messages.first().toStdString();

    const auto b = machine([](const QString&) { return EACCES; });
    draw(*b, "scan.svg", svg("red"), year(2024));
    sync(*b, {"scan.svg"});
    ASSERT_EQ(b->messages.size(), 1);
    EXPECT_TRUE(b->messages.first().startsWith("The icon “scan” could not be synced: "))
        << b->messages.first().toStdString();
    EXPECT_TRUE(b->messages.first().endsWith("The next sync tries again.")) << b->messages.first().toStdString();
}

} // namespace

namespace {

// "Mark.svg" and "Mark.SVG" are one icon: one record, one file per machine, and a tool
// naming either spelling finds the icon's drawing on every machine.
TEST_F(IconNames, TwoSpellingsOfOneIconOnTwoMachinesEndAsOneDrawingEveryToolFinds)
{
    const auto a = machine();
    const auto b = machine();
    draw(*a, "Mark.SVG", svg("red"), year(2024));
    draw(*b, "Mark.svg", svg("blue"), year(2025));
    draw(*b, "Mark 2.SVG", svg("black"), year(2025)); // the first kept name, in another spelling
    for (int round = 0; round < 3; ++round) {
        sync(*a, {"Mark.SVG", "Mark.svg"});
        sync(*b, {"Mark.svg", "Mark.SVG"});
    }
    EXPECT_EQ(a->files(), QStringList{"Mark.SVG"});
    EXPECT_EQ(b->files(), QStringList({"Mark 2.SVG", "Mark 3.svg", "Mark.svg"}));
    for (const Machine* m : {a.get(), b.get()})
        for (const QString tool : {"Mark.svg", "Mark.SVG", "Mark.Svg"})
            EXPECT_EQ(m->drawing(customIconFileIn(m->icons.path(), tool)), svg("blue")) << tool.toStdString();
    EXPECT_EQ(b->drawing("Mark 3.svg"), svg("red"));
    EXPECT_TRUE(a->messages.isEmpty()) << a->messages.join('\n').toStdString();
    EXPECT_EQ(b->messages.size(), 1) << b->messages.join('\n').toStdString();
}

// Both spellings on one machine with different drawings: "Mark.svg" is synced, "Mark.SVG"
// stays as it is, and the user is told once; each tool there keeps its own drawing, and
// the other machine's tools, either spelling, find the synced one.
TEST_F(IconNames, TwoSpellingsWithTwoDrawingsOnOneMachineAreBothKeptAndTold)
{
    const auto a = machine();
    const auto b = machine();
    draw(*a, "Mark.SVG", svg("red"), year(2024));
    draw(*a, "Mark.svg", svg("blue"), year(2024));
    draw(*a, "Same.SVG", svg("red"), year(2024));
    draw(*a, "Same.svg", svg("red"), year(2024));
    for (int round = 0; round < 2; ++round) {
        sync(*a, {"Mark.SVG", "Mark.svg", "Same.svg", "Same.SVG"});
        sync(*b, {"Mark.SVG", "Same.SVG"});
    }
    EXPECT_EQ(a->drawing("Mark.SVG"), svg("red"));
    EXPECT_EQ(a->drawing("Mark.svg"), svg("blue"));
    EXPECT_EQ(b->files(), QStringList({"Mark.SVG", "Same.SVG"}));
    EXPECT_EQ(b->drawing(customIconFileIn(b->icons.path(), "Mark.svg")), svg("blue"));
    ASSERT_EQ(a->messages.size(), 1) << a->messages.join('\n').toStdString();
    EXPECT_TRUE(a->messages.first().contains("“Mark.svg” is synced, and “Mark.SVG” stays"))
        << a->messages.first().toStdString();
    EXPECT_TRUE(b->messages.isEmpty()) << b->messages.join('\n').toStdString();

    // Not again at the next start; a new drawing under the other spelling is told again.
    restart(*a);
    sync(*a, {"Mark.SVG"});
    EXPECT_EQ(a->messages.size(), 1) << a->messages.join('\n').toStdString();
    draw(*a, "Mark.SVG", svg("green"), year(2025));
    sync(*a, {"Mark.SVG"});
    EXPECT_EQ(a->messages.size(), 2);
    EXPECT_EQ(a->sync->localIconURL("Mark"), a->path("Mark.svg"));
    EXPECT_EQ(b->sync->localIconURL("Same"), b->path("Same.SVG"));
    EXPECT_FALSE(b->sync->localIconURL("Mark.SVG"));
    EXPECT_FALSE(b->sync->localIconURL("None"));
}

TEST(IconSpellingOrder, TheNameFirstThenLowerThenUpperThenTheRest)
{
    EXPECT_EQ(customIconFileSpellings("a.Svg").mid(0, 3), QStringList({"a.Svg", "a.svg", "a.SVG"}));
    EXPECT_EQ(customIconFileSpellings("a.svg").size(), 8);
    EXPECT_EQ(customIconFileSpellings("a.png"), QStringList{"a.png"});
}

} // namespace
