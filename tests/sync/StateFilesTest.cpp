#include "platform/RegularFile.h"
#include "support/TestSupport.h"
#include "sync/IconSyncBase.h"
#include "sync/SyncBase.h"
#include "sync/SyncMemory.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>

using namespace velmor;
using namespace velmor::test;

namespace {

class StateFilesTest : public PlatformFixture {
protected:
    files::FileKind kindAt(const QString& name) const { return files::fileKind(supportPath(name)); }
};

// The sync's state files are Velmor's own: a link planted in one's place (to a file
// elsewhere) or a FIFO there is replaced by the file, never written through, and what
// the link leads to stays as it was.
TEST_F(StateFilesTest, ALinkOrAFifoInAStateFilesPlaceIsReplacedNeverWrittenThrough)
{
    QTemporaryDir outside;
    const QString theirs = outside.filePath("theirs.json");
    const struct {
        QString name;
        std::function<void()> write;
    } stateFiles[] = {
        {SyncBase::fileName,
         [this] {
             SyncBase::Stamp stamp;
             stamp.account = "_account";
             stamp.changeTag = "tag-1";
             SyncBase(supportDir.path()).remember(stamp, "{}");
         }},
        {IconSyncBase::fileName,
         [this] {
             IconSyncBase icons(supportDir.path());
             icons.ready();
             queue->runUntilIdle(); // the state file's own read comes first
             icons.setAccount("_account");
             icons.remember("icon-1", {"icon-1.png", QByteArray(32, 'h'), "tag-1", {}});
             icons.write();
         }},
        {SyncMemory::fileName, [this] { SyncMemory(supportDir.path()).rememberSyncWith("_account"); }},
    };
    for (const auto& stateFile : stateFiles) {
        for (const bool link : {true, false}) {
            SCOPED_TRACE((stateFile.name + (link ? " link" : " FIFO")).toStdString());
            const QString path = supportPath(stateFile.name);
            QFile::remove(path);
            writeFile(theirs, "theirs");
            if (link)
                ASSERT_TRUE(QFile::link(theirs, path));
            else
                ASSERT_EQ(::mkfifo(qPrintable(path), 0600), 0);
            stateFile.write();
            queue->runUntilIdle();
            EXPECT_EQ(kindAt(stateFile.name), files::FileKind::regular);
            EXPECT_TRUE(readFile(path).contains("_account"));
            EXPECT_EQ(readFile(theirs), "theirs");
            EXPECT_EQ(QDir(outside.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"theirs.json"});
        }
    }
    // What was written is what the next start reads.
    EXPECT_TRUE(SyncMemory(supportDir.path()).hasSyncedWith("_account"));
    EXPECT_TRUE(SyncBase(supportDir.path()).isFor(QString("_account")));
    EXPECT_EQ(QDir(supportDir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).filter("velmor-"),
              QStringList{});
}

} // namespace
