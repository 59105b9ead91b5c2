#include "platform/TemporaryFolders.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

using namespace velmor;
using namespace velmor::test;
using temporaryFolders::Processes;

namespace {

class TemporaryFolders : public ::testing::Test {
protected:
    QString path(const QString& name) const { return root.filePath(name); }
    void makeFolder(const QString& name) const { ASSERT_TRUE(QDir().mkpath(path(name))); }
    void link(const QString& target, const QString& name) const { ASSERT_TRUE(QFile::link(target, path(name))); }
    QStringList names() const
    {
        return QDir(root.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                           QDir::Name);
    }
    static QString named(qint64 pid, const char* suffix) { return QString("Velmor-%1-%2").arg(pid).arg(suffix); }

    QTemporaryDir root;
    QTemporaryDir outside;
    const qint64 ended = endedProcess();
};

// An ended process's folder goes with all it holds, links inside going as links; the
// folders of running processes, links, files and other names stay.
TEST_F(TemporaryFolders, OnlyFoldersOfEndedProcessesGoWithAllTheyHold)
{
    QTemporaryDir made(temporaryFolders::ownTemplate(root.path()));
    made.setAutoRemove(false);
    const QString mine = QDir(made.path()).dirName();
    const QString dead = QString(mine).replace(QString::number(::getpid()), QString::number(ended));
    ASSERT_TRUE(QDir(root.path()).rename(mine, dead));
    makeFolder(dead + "/profiles");
    writeFile(path(dead + "/profiles/payload"), "x");
    writeFile(outside.filePath("keep"), "k");
    link(outside.path(), dead + "/profiles/away");
    makeFolder(mine);
    const QString parent = named(::getppid(), "Qq1111");
    makeFolder(parent);
    link(outside.path(), named(ended, "LnK000"));
    writeFile(path(named(ended, "F1le00")), "file");
    for (const QString& other : {QString("velmor-%1-abcdef").arg(ended), QString("Velmor-%1-abc").arg(ended)})
        makeFolder(other);
    QStringList kept = names();
    kept.removeOne(dead);

    EXPECT_EQ(temporaryFolders::removeLeftovers(root.path()), QStringList{dead});
    EXPECT_EQ(names(), kept);
    EXPECT_EQ(readFile(outside.filePath("keep")), "k");
    EXPECT_TRUE(temporaryFolders::removeLeftovers(root.path()).isEmpty());
}

// A folder of the older kind names no process: it goes only when empty, and only
// while no other velmor of the user runs.
TEST_F(TemporaryFolders, OlderFoldersGoOnlyEmptyAndWhileNoOtherVelmorRuns)
{
    makeFolder("Velmor-Ab12Cd");
    makeFolder("Velmor-Xy34Zw");
    writeFile(path("Velmor-Xy34Zw/left"), "x");
    link(outside.path(), "Velmor-Lk56Mn");
    const auto gone = [](qint64) { return false; };
    EXPECT_TRUE(temporaryFolders::removeLeftovers(root.path(), Processes{gone, [] { return true; }}).isEmpty());
    EXPECT_EQ(temporaryFolders::removeLeftovers(root.path(), Processes{gone, [] { return false; }}),
              QStringList{"Velmor-Ab12Cd"});
    EXPECT_EQ(names(), (QStringList{"Velmor-Lk56Mn", "Velmor-Xy34Zw"}));
}

TEST_F(TemporaryFolders, AnotherUsersFoldersAreLeftAlone)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "making a folder of another user needs root";
    for (const QString& name : {named(ended, "Ot4er0"), QString("Velmor-Ot5er1")}) {
        makeFolder(name);
        ASSERT_EQ(::chown(QFile::encodeName(path(name)).constData(), 65534, 65534), 0);
    }
    const QStringList before = names();
    EXPECT_TRUE(temporaryFolders::removeLeftovers(root.path(), Processes{[](qint64) { return false; }, [] {
                                                      return false;
                                                  }}).isEmpty());
    EXPECT_EQ(names(), before);
}

} // namespace
