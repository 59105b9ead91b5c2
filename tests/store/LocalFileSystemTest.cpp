#include "store/FileSystem.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace velmor;
using namespace velmor::test;

namespace {

class LocalFiles : public PlatformFixture {
protected:
    QString path(const QString& name) const { return supportPath(name); }
    QStringList entries() const
    {
        return QDir(supportDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                                 QDir::Name);
    }
    // The description of the FileError `work` throws; empty when it throws none.
    template <typename Work>
    static QString failureOf(Work work)
    {
        try {
            work();
        } catch (const FileError& error) {
            return error.description();
        }
        return {};
    }
    LocalFileSystem files;
};

// A write cut short by the system (here the file size limit; a full disk takes the
// same path) names the system's reason and leaves the old file and no temporary.
TEST_F(LocalFiles, AShortWriteReportsTheSystemsReasonAndKeepsTheOldFile)
{
    writeFile(path("profiles.json"), "old");
    ::chmod(QFile::encodeName(path("profiles.json")).constData(), 0640);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{4096, limit.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    QString error;
    {
        const auto restore = qScopeGuard([&] {
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, previous);
        });
        error = failureOf([&] { files.write(path("profiles.json"), QByteArray(100'000, 'x')); });
    }
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(readFile(path("profiles.json")), "old");
    EXPECT_EQ(entries(), QStringList{"profiles.json"});

    // A write that works keeps the file's permissions; a link in the file's place is
    // replaced, and what it points at stays as it was.
    files.write(path("profiles.json"), "new");
    EXPECT_EQ(readFile(path("profiles.json")), "new");
    struct stat info {};
    ::stat(QFile::encodeName(path("profiles.json")).constData(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    QTemporaryDir outside;
    writeFile(outside.filePath("elsewhere"), "theirs");
    QFile::link(outside.filePath("elsewhere"), path("layout_overrides.json"));
    files.write(path("layout_overrides.json"), "mine");
    EXPECT_FALSE(QFileInfo(path("layout_overrides.json")).isSymLink());
    EXPECT_EQ(readFile(outside.filePath("elsewhere")), "theirs");
}

// Dates round-trip to the millisecond, before 1970 too; a link is dated itself and
// its target left alone; a missing file names the system's reason.
TEST_F(LocalFiles, DatesAFileToTheMillisecondWithoutFollowingALink)
{
    writeFile(path("profiles.json"), "data");
    for (const qint64 ms : {qint64(1'704'164'645'678), qint64(-750), qint64(0)}) {
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc());
        files.setModificationTime(path("profiles.json"), time);
        EXPECT_EQ(files.modificationTime(path("profiles.json")), time) << ms;
    }

    QTemporaryDir outside;
    writeFile(outside.filePath("elsewhere"), "theirs");
    const QDateTime theirs = QFileInfo(outside.filePath("elsewhere")).lastModified();
    QFile::link(outside.filePath("elsewhere"), path("link"));
    files.setModificationTime(path("link"), QDateTime::fromMSecsSinceEpoch(1000, QTimeZone::utc()));
    EXPECT_EQ(QFileInfo(outside.filePath("elsewhere")).lastModified(), theirs);

    EXPECT_EQ(failureOf([&] { files.setModificationTime(path("missing"), QDateTime::currentDateTimeUtc()); }),
              QString::fromLocal8Bit(std::strerror(ENOENT)));
}

} // namespace
