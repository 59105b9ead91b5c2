#include "platform/RegularFile.h"
#include "platform/UniqueFd.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

using namespace velmor;
using namespace velmor::files;
using velmor::test::readFile;
using velmor::test::writeFile;

namespace {

class RegularFile : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(RegularFile, ReadsARegularFileUpToTheLimitExactly)
{
    writeFile(path("a"), "12345");
    EXPECT_EQ(readRegular(path("a"), 5).bytes, QByteArray("12345"));
    EXPECT_EQ(readRegularFile(path("a"), 5), QByteArray("12345"));
    writeFile(path("empty"), "");
    EXPECT_EQ(readRegular(path("empty"), 0).bytes, QByteArray());

    const FileRead over = readRegular(path("a"), 4);
    EXPECT_EQ(over.failure, ReadFailure::tooLarge);
    EXPECT_FALSE(over.bytes);
    EXPECT_EQ(over.error, QString("“%1” is too large (5 bytes; the limit is 4 bytes).").arg(path("a")));

    // Refused by its size alone: a sparse file of 1 GiB costs nothing to make or to refuse.
    QFile big(path("big"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(qint64{1} << 30));
    big.close();
    EXPECT_EQ(readRegular(path("big"), 64 << 20).error,
              QString("“%1” is too large (1.0 GiB; the limit is 64.0 MiB).").arg(path("big")));
}

TEST_F(RegularFile, EntriesOfEveryOtherKindAreRefusedWithoutBeingOpened)
{
    writeFile(path("target"), "outside");
    ASSERT_EQ(::symlink(QFile::encodeName(path("target")).constData(), QFile::encodeName(path("link")).constData()), 0);
    ASSERT_EQ(::symlink("/dev/null", QFile::encodeName(path("devlink")).constData()), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    QDir().mkpath(path("folder"));

    const struct {
        QString path;
        FileKind kind;
        QString what;
    } cases[] = {{path("link"), FileKind::link, "a symbolic link"},
                 {path("devlink"), FileKind::link, "a symbolic link"},
                 {path("fifo"), FileKind::other, "a FIFO"}, // would block an open for reading forever
                 {"/dev/null", FileKind::other, "a device"},
                 {path("folder"), FileKind::folder, "a folder"}};
    for (const auto& c : cases) {
        const FileRead read = readRegular(c.path, 1 << 20);
        EXPECT_EQ(read.failure, ReadFailure::notRegular) << c.path.toStdString();
        EXPECT_EQ(read.error, QString("“%1” is %2, not a regular file.").arg(c.path, c.what));
        EXPECT_EQ(fileKind(c.path), c.kind);
    }
    EXPECT_EQ(readFile(path("target")), "outside");

    // The user's own files: a link to a regular file is followed, to the end of a
    // chain, and only then.
    ASSERT_EQ(::symlink("link", QFile::encodeName(path("chain")).constData()), 0);
    EXPECT_EQ(readUserFile(path("chain"), 10).bytes, QByteArray("outside"));
    EXPECT_EQ(followUserLink(path("chain")).path, path("target"));
    EXPECT_EQ(readUserFile(path("target"), 10).bytes, QByteArray("outside"));
    EXPECT_EQ(readUserFile(path("chain"), 3).failure, ReadFailure::tooLarge);
    ASSERT_EQ(::symlink("fifo", QFile::encodeName(path("fifolink")).constData()), 0);
    EXPECT_EQ(readUserFile(path("fifolink"), 10).error,
              QString("“%1” is a link to “%2”, which is a FIFO, not a regular file.").arg(path("fifolink"), path("fifo")));
    ASSERT_EQ(::symlink("loop", QFile::encodeName(path("loop")).constData()), 0);
    EXPECT_EQ(readUserFile(path("loop"), 10).error,
              QString("“%1” is a link that cannot be followed: Too many levels of symbolic links").arg(path("loop")));
}

TEST_F(RegularFile, MissingAndUnreadableFilesSayWhy)
{
    const FileRead missing = readRegular(path("none"), 10);
    EXPECT_EQ(missing.failure, ReadFailure::missing);
    EXPECT_EQ(missing.error, QString("“%1” does not exist.").arg(path("none")));
    EXPECT_EQ(readRegular(path("none/deeper"), 10).failure, ReadFailure::missing);
    EXPECT_EQ(fileKind(path("none")), FileKind::missing);

    writeFile(path("file"), "x");
    const FileRead underAFile = readRegular(path("file/x"), 10);
    EXPECT_EQ(underAFile.failure, ReadFailure::failed);
    EXPECT_EQ(underAFile.error, QString("Could not read “%1”: Not a directory").arg(path("file/x")));
    EXPECT_EQ(systemErrorText(ENOSPC), "No space left on device");
    EXPECT_EQ(systemErrorText(EACCES), "Permission denied");
}

TEST_F(RegularFile, NamesAreReadRelativeToAnOpenFolder)
{
    QDir().mkpath(path("inner"));
    writeFile(path("inner/f"), "in");
    const UniqueFd folder(::open(QFile::encodeName(path("inner")).constData(), O_RDONLY | O_DIRECTORY));
    ASSERT_TRUE(folder);
    EXPECT_EQ(readRegularAt(folder.get(), "f", "shown/f", 10).bytes, QByteArray("in"));
    EXPECT_EQ(readRegularAt(folder.get(), "g", "shown/g", 10).error, "“shown/g” does not exist.");
    EXPECT_EQ(fileStampAt(folder.get(), "f"), fileStamp(path("inner/f")));
}

TEST_F(RegularFile, AStampChangesWithEveryRewrite)
{
    writeFile(path("a"), "one");
    const FileStamp first = fileStamp(path("a"));
    EXPECT_EQ(first.kind, FileKind::regular);
    EXPECT_EQ(first.size, 3);
    EXPECT_EQ(fileStamp(path("a")), first);

    // Replaced by a rename: same size and, on a coarse clock, the same time, yet another inode.
    writeFile(path("b"), "two");
    QFile b(path("b"));
    ASSERT_TRUE(b.open(QIODevice::ReadWrite));
    ASSERT_TRUE(b.setFileTime(QFile(path("a")).fileTime(QFileDevice::FileModificationTime),
                              QFileDevice::FileModificationTime));
    b.close();
    ASSERT_EQ(::rename(QFile::encodeName(path("b")).constData(), QFile::encodeName(path("a")).constData()), 0);
    EXPECT_NE(fileStamp(path("a")).inode, first.inode);
    EXPECT_NE(fileStamp(path("a")), first);
}

} // namespace
