// The base's stamp is read at start from its own regular file only: never through a
// link, and never waiting on a FIFO put in its place.

#include "support/TestSupport.h"
#include "sync/SyncBase.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace velmor {
namespace {

class SyncBaseStamp : public test::PlatformFixture {};

TEST_F(SyncBaseStamp, OnlyItsOwnRegularFileIsRead)
{
    const QTemporaryDir data;
    const QTemporaryDir elsewhere;
    SyncBase::Stamp stamp;
    stamp.account = "_owner";
    stamp.changeTag = "tag-1";
    stamp.generation = 7;
    const QByteArray bytes = SyncBase::encode(stamp, QByteArray(100'000, 'd'));
    const QString path = QDir(data.path()).filePath(SyncBase::fileName);

    test::writeFile(path, bytes);
    EXPECT_EQ(SyncBase(data.path()).stamp(), stamp);

    ASSERT_TRUE(QFile::remove(path));
    test::writeFile(elsewhere.filePath("base"), bytes);
    ASSERT_TRUE(QFile::link(elsewhere.filePath("base"), path));
    EXPECT_FALSE(SyncBase(data.path()).stamp());

    ASSERT_TRUE(QFile::remove(path));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EXPECT_FALSE(SyncBase(data.path()).stamp()); // an open that waited would hang here

    // A first line longer than any stamp is no stamp.
    ASSERT_TRUE(QFile::remove(path));
    test::writeFile(path, QByteArray(64 * 1024, ' ') + bytes);
    EXPECT_FALSE(SyncBase(data.path()).stamp());
}

} // namespace
} // namespace velmor
