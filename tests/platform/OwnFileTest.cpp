#include "platform/OwnFile.h"
#include "platform/RegularFile.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

class OwnFileTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList names() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                          QDir::Name);
    }
    // Something at `name`: "file", "folder", "link" (to a file elsewhere), "dangling" or "fifo".
    void put(const QString& what, const QString& name)
    {
        if (what == "file")
            writeFile(path(name), "there");
        else if (what == "folder")
            ASSERT_TRUE(QDir().mkpath(path(name) + "/inside"));
        else if (what == "link")
            ASSERT_TRUE(QFile::link(theirs(), path(name)));
        else if (what == "dangling")
            ASSERT_TRUE(QFile::link(outside.filePath("nothing"), path(name)));
        else
            ASSERT_EQ(::mkfifo(qPrintable(path(name)), 0600), 0);
    }
    QString theirs() const { return outside.filePath("theirs"); }
    static unsigned modeOf(const QString& file)
    {
        struct stat info {};
        return ::stat(qPrintable(file), &info) == 0 ? info.st_mode & 07777 : 0;
    }

    QTemporaryDir dir;
    QTemporaryDir outside;
};

TEST_F(OwnFileTest, ATemporaryFileIsNamedForThisProcessAndHoldsTheBytes)
{
    const files::Made made = files::writeTemporaryBeside(path("state.json"), "bytes", 0600);
    ASSERT_TRUE(made.path) << made.error.toStdString();
    const QString name = QFileInfo(*made.path).fileName();
    EXPECT_TRUE(QRegularExpression("^state\\.json\\.velmor-" + QString::number(::getpid()) + "-[0-9a-z]{1,13}$")
                    .match(name)
                    .hasMatch())
        << name.toStdString();
    EXPECT_LE(name.size() - QString("state.json").size(), files::maxTemporarySuffixBytes);
    EXPECT_EQ(readFile(*made.path), "bytes");
    EXPECT_EQ(modeOf(*made.path), 0600u);
    // In a folder that is not there: nothing made, the reason told.
    const files::Made none = files::writeTemporaryBeside(path("missing/state.json"), "bytes");
    EXPECT_FALSE(none.path);
    EXPECT_EQ(none.error, files::systemErrorText(ENOENT));
}

// A state file is replaced whole: a link in its place goes itself (what it leads to
// stays), a FIFO is replaced without blocking, a folder is refused and stays.
TEST_F(OwnFileTest, ReplacingAnOwnFileNeverGoesThroughWhatIsAtItsName)
{
    for (const QString what : {"file", "link", "dangling", "fifo"}) {
        SCOPED_TRACE(what.toStdString());
        writeFile(theirs(), "theirs");
        put(what, "state.json");
        EXPECT_EQ(files::replaceWithOwnFile(path("state.json"), "mine"), QString());
        EXPECT_EQ(files::fileKind(path("state.json")), files::FileKind::regular);
        EXPECT_EQ(readFile(path("state.json")), "mine");
        EXPECT_EQ(readFile(theirs()), "theirs");
        EXPECT_EQ(names(), QStringList{"state.json"});
        QFile::remove(path("state.json"));
    }
    put("folder", "state.json");
    EXPECT_TRUE(files::replaceWithOwnFile(path("state.json"), "mine").endsWith("is a folder, not a regular file."));
    EXPECT_TRUE(QFileInfo(path("state.json/inside")).isDir());
    EXPECT_EQ(names(), QStringList{"state.json"});

    // A private file stays private.
    writeFile(path("private.json"), "old");
    ASSERT_TRUE(QFile::setPermissions(path("private.json"), QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_EQ(files::replaceWithOwnFile(path("private.json"), "new"), QString());
    EXPECT_EQ(modeOf(path("private.json")), 0600u);
}

// Moving to a free name replaces nothing: whatever is at the name stays as it was.
TEST_F(OwnFileTest, AMoveToAFreeNameNeverReplacesWhatIsThere)
{
    for (const QString what : {"file", "folder", "link", "dangling", "fifo"}) {
        SCOPED_TRACE(what.toStdString());
        writeFile(theirs(), "theirs");
        writeFile(path("copy"), "kept");
        put(what, "kept");
        const files::FileKind before = files::fileKind(path("kept"));
        EXPECT_EQ(files::moveToFreeName(path("copy"), path("kept")), files::Moved::taken);
        EXPECT_EQ(files::fileKind(path("kept")), before);
        EXPECT_EQ(readFile(path("copy")), "kept");
        EXPECT_EQ(readFile(theirs()), "theirs");
        ASSERT_TRUE(QDir(dir.path()).removeRecursively() && QDir().mkpath(dir.path()));
    }
    writeFile(path("copy"), "kept");
    EXPECT_EQ(files::moveToFreeName(path("copy"), path("kept")), files::Moved::moved);
    EXPECT_EQ(names(), QStringList{"kept"});
    EXPECT_EQ(files::moveToFreeName(path("gone"), path("other")), files::Moved::failed);
    EXPECT_EQ(errno, ENOENT);
}

} // namespace
