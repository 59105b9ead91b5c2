#include "store/FileSystem.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <limits>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

    // A write that works keeps the file's permissions.
    files.write(path("profiles.json"), "new");
    EXPECT_EQ(readFile(path("profiles.json")), "new");
    struct stat info {};
    ::stat(QFile::encodeName(path("profiles.json")).constData(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// A link the user made to a regular file stands for that file: read through, its
// target replaced (by a file written beside it), the link kept. A link to anything
// else, or to nothing, is neither read nor written, and says what it leads to.
TEST_F(LocalFiles, ALinkToARegularFileIsReadAndWrittenThroughAndOthersAreRefused)
{
    QTemporaryDir outside;
    writeFile(outside.filePath("elsewhere"), "theirs");
    QFile::link(outside.filePath("elsewhere"), path("layout_overrides.json"));
    EXPECT_TRUE(files.exists(path("layout_overrides.json")));
    EXPECT_EQ(files.read(path("layout_overrides.json")), "theirs");
    EXPECT_EQ(files.resolve(path("layout_overrides.json")), outside.filePath("elsewhere"));
    EXPECT_EQ(files.resolve(path("plain")), path("plain"));
    files.write(path("layout_overrides.json"), "mine");
    EXPECT_EQ(QFileInfo(path("layout_overrides.json")).symLinkTarget(), outside.filePath("elsewhere"));
    EXPECT_EQ(readFile(outside.filePath("elsewhere")), "mine");
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"elsewhere"});

    const struct {
        QString target, cause;
    } refused[] = {
        {outside.filePath("gone"), "“%1” is a link to “%2”, which does not exist."},
        {"/dev/null", "“%1” is a link to “%2”, which is a device, not a regular file."},
    };
    for (const auto& r : refused) {
        QFile::remove(path("link"));
        QFile::link(r.target, path("link"));
        const QString cause = r.cause.arg(path("link"), r.target);
        EXPECT_TRUE(files.exists(path("link"))) << "a dangling link is there too";
        EXPECT_EQ(failureOf([&] { files.read(path("link")); }), cause);
        EXPECT_EQ(failureOf([&] { files.write(path("link"), "x"); }), cause);
        EXPECT_EQ(files.resolve(path("link")), path("link"));
    }
    files.remove(path("link"));
    EXPECT_FALSE(QFileInfo(path("link")).isSymLink());
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

// Temporary files of writers that no longer run go; those of a running process (this
// one, its parent), other names, links and folders stay. Names of earlier versions,
// which name no process, go only while no other velmor runs.
TEST_F(LocalFiles, LeftoverTemporariesOfEndedWritersGoAndLiveOnesStay)
{
    const QString dead = QString::number(endedProcess());
    const QString earlier = "profiles.json.tmp.velmor-3k2j4h5g6f";
    const QStringList kept{"profiles.json.velmor-" + QString::number(::getpid()) + "-abc",
                           "cloud_sync.json.velmor-" + QString::number(::getppid()) + "-abc",
                           "notes.velmor-" + dead + "-ABC", earlier};
    for (const QString& name : kept + QStringList{"cloud_sync.base.velmor-" + dead + "-0"})
        writeFile(path(name), "x");
    QDir().mkpath(path("folder.velmor-" + dead + "-1"));
    QFile::link(path(earlier), path("link.velmor-" + dead + "-1"));

    const auto processes = [](bool othersRun) {
        return temporaryFolders::Processes{[](qint64 pid) { return pid == ::getppid(); },
                                           [othersRun] { return othersRun; }};
    };
    EXPECT_EQ(LocalFileSystem::removeLeftoverTemporaries(supportDir.path(), {}, processes(true)),
              QStringList{"cloud_sync.base.velmor-" + dead + "-0"});
    EXPECT_EQ(entries().size(), kept.size() + 2) << "the others, the folder and the link stay";
    // Of one file: only its own temporaries that name their process, never another name's.
    writeFile(path("cloud_sync.json2.velmor-" + dead + "-1"), "x");
    writeFile(path("cloud_sync.json.velmor-" + dead + "-2"), "x");
    EXPECT_EQ(LocalFileSystem::removeLeftoverTemporaries(supportDir.path(), "cloud", processes(false)), QStringList{});
    EXPECT_EQ(LocalFileSystem::removeLeftoverTemporaries(supportDir.path(), "profiles.json", processes(false)),
              QStringList{});
    EXPECT_EQ(LocalFileSystem::removeLeftoverTemporaries(supportDir.path(), "cloud_sync.json", processes(false)),
              QStringList{"cloud_sync.json.velmor-" + dead + "-2"});
    // Any process's id fits the room write() leaves for it in a name.
    EXPECT_LE(QString(".velmor-%1-%2").arg(std::numeric_limits<pid_t>::max()).arg(QString(13, 'z')).size(),
              LocalFileSystem::maxTemporarySuffixBytes);
}

} // namespace
