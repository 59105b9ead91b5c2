#include "TwoMachines.h"

#include "sync/IconSyncBase.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;

namespace {

QByteArray svg(const char* colour)
{
    return R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 8 8"><rect width="8" fill=")" +
           QByteArray(colour) + R"("/></svg>)";
}

// The custom icons of the profile sync's machines, synced whatever the profiles do.
class IconsTravel : public TwoMachines {
protected:
    static QString iconPath(const Machine& machine, const QString& name)
    {
        return QDir(machine.folder.path()).filePath("Icons/" + name);
    }
    static QByteArray drawing(const Machine& machine, const QString& name = "scan.svg")
    {
        return QFileInfo::exists(iconPath(machine, name)) ? readFile(iconPath(machine, name)) : QByteArray();
    }
    // Draws the icon, with a date long past (as `cp -p` keeps it).
    static void draw(const Machine& machine, const QByteArray& bytes, const QString& name = "scan.svg")
    {
        writeFile(iconPath(machine, name), bytes);
        QFile file(iconPath(machine, name));
        ASSERT_TRUE(file.open(QIODevice::Append) &&
                    file.setFileTime(QDateTime(QDate(2020, 1, 2), QTime(3, 4), Qt::UTC),
                                     QFileDevice::FileModificationTime));
    }
    // A tool of the active PACS profile for each icon.
    void useIcons(Machine& machine, const QStringList& names)
    {
        for (const QString& name : names) {
            RadiologyTool tool;
            tool.id = QUuid::createUuid();
            tool.name = name;
            tool.iconSource = ToolIconSource::custom;
            tool.customIcon = name;
            machine.store->upsertTool(tool, machine.store->activePacsProfile().id);
        }
        queue->advance(5s);
    }
    QString profilesTag() const { return cloud.storedRecord("profiles")->recordChangeTag(); }
};

// A drawing replaced on A reaches B at B's Sync Now and at B's start, though no profile
// changed and no push reached B.
TEST_F(IconsTravel, ADrawingChangedElsewhereArrivesAtSyncNowAndAtAStart)
{
    const auto a = startedMachine();
    const auto b = startedMachine();
    draw(*a, svg("red"));
    useIcons(*a, {"scan.svg"});
    ASSERT_EQ(drawing(*b), svg("red"));
    b->sync->container()->setRemoteNotificationHandler({});
    const QString tag = profilesTag();

    draw(*a, svg("blue"));
    a->sync->requestSyncNow();
    queue->advance(5s);
    EXPECT_EQ(drawing(*b), svg("red"));
    b->sync->requestSyncNow();
    queue->advance(5s);
    EXPECT_EQ(drawing(*b), svg("blue"));

    b->sync.reset();
    draw(*a, svg("green"));
    a->sync->requestSyncNow();
    queue->advance(5s);
    open(*b);
    b->sync->start();
    queue->advance(5s);
    EXPECT_EQ(drawing(*b), svg("green"));
    EXPECT_EQ(profilesTag(), tag) << "no profile changed";
    for (const Machine* machine : {a.get(), b.get()})
        EXPECT_TRUE(machine->messages.filter("icon").isEmpty()) << machine->messages.join('\n').toStdString();
}

// B keeps its own drawing beside A's as "scan 2.svg"; the user puts it on a tool on B. The
// tool and the drawing reach A, with nothing told there.
TEST_F(IconsTravel, AKeptCopyPutOnAToolReachesTheOtherMachineWithTheTool)
{
    const auto a = startedMachine();
    const auto b = startedMachine();
    draw(*a, svg("white"));
    useIcons(*a, {"scan.svg"});
    ASSERT_EQ(drawing(*b), svg("white"));
    // Sizes of their own: the drawings bear one date.
    draw(*a, svg("blue"));
    draw(*b, svg("teal"));
    a->sync->requestSyncNow();
    queue->advance(5s);
    b->sync->requestSyncNow();
    queue->advance(5s);
    ASSERT_EQ(drawing(*b, "scan 2.svg"), svg("teal"));
    ASSERT_EQ(b->messages.filter("kept").size(), 1) << b->messages.join('\n').toStdString();

    useIcons(*b, {"scan 2.svg"});
    EXPECT_EQ(drawing(*a, "scan 2.svg"), svg("teal"));
    EXPECT_EQ(drawing(*a), svg("blue"));
    EXPECT_TRUE(a->store->referencedCustomIconNames().contains("scan 2.svg"));
    EXPECT_TRUE(a->messages.filter("icon").isEmpty()) << a->messages.join('\n').toStdString();
}

// A machine killed during its first contact's downloads (some icons not yet written, a
// temporary file half written, the base not yet kept) gets the rest at its next start,
// uploads nothing and keeps nothing twice.
TEST_F(IconsTravel, DownloadsCutShortCompleteAtTheNextStart)
{
    const QStringList icons{"i0.svg", "i1.svg", "i2.svg", "i3.svg", "i4.svg"};
    const auto a = startedMachine();
    for (const QString& name : icons)
        draw(*a, svg(name == "i2.svg" ? "red" : "blue"), name);
    useIcons(*a, icons);
    const auto b = makeMachine();
    draw(*b, svg("green"), "i2.svg"); // made here before the first contact
    b->sync->start();
    queue->advance(10s);
    ASSERT_EQ(drawing(*b, "i4.svg"), svg("blue"));
    ASSERT_EQ(drawing(*b, "i2 2.svg"), svg("green"));

    b->sync.reset();
    for (const char* name : {"i2.svg", "i3.svg", "i4.svg"})
        QFile::remove(iconPath(*b, name));
    QFile::rename(iconPath(*b, "i2 2.svg"), iconPath(*b, "i2.svg")); // not moved aside yet either
    // Named by the killed process: an id above any the system gives.
    writeFile(iconPath(*b, ".velmor-icon-4194304-cut"), "<svg");
    QFile::remove(QDir(b->folder.path()).filePath(IconSyncBase::fileName));
    const int before = uploads();
    b->messages.clear();
    open(*b);
    b->sync->start();
    queue->advance(10s);
    for (const QString& name : icons)
        EXPECT_EQ(drawing(*b, name), drawing(*a, name)) << name.toStdString();
    EXPECT_EQ(drawing(*b, "i2 2.svg"), svg("green"));
    EXPECT_EQ(QDir(iconPath(*b, "")).entryList(QDir::Files | QDir::Hidden).size(), icons.size() + 1);
    EXPECT_EQ(uploads(), before);
    EXPECT_EQ(b->messages.filter("“i2 2.svg”").size(), 1) << b->messages.join('\n').toStdString();
}

} // namespace
