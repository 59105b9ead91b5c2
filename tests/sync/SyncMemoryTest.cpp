#include "support/TestSupport.h"
#include "sync/SyncMemory.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace velmor;
using namespace velmor::test;

namespace {

class SyncMemoryTest : public PlatformFixture {};

// The memory outlives its object, keeps the latest dates only, and anything but a
// readable file in its place (a FIFO, a folder, garbage) is an empty memory, at once.
TEST_F(SyncMemoryTest, OutlivesItsObjectKeepsTheLatestDatesAndFallsBackToEmpty)
{
    const QDateTime base(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC);
    {
        SyncMemory memory(supportDir.path());
        memory.rememberSyncWith("_one");
        for (int i = 0; i <= SyncMemory::maxFutureDates; ++i)
            memory.rememberCountedDate(base.addDays(i), base.addSecs(i));
        memory.rememberCountedDate(base.addDays(1), base); // the first count stays
    }
    const SyncMemory memory(supportDir.path());
    EXPECT_TRUE(memory.hasSyncedWith("_one"));
    EXPECT_FALSE(memory.hasSyncedWith("_two"));
    EXPECT_EQ(memory.countedDate(base), std::nullopt);
    EXPECT_EQ(memory.countedDate(base.addDays(1)), base.addSecs(1));
    EXPECT_EQ(memory.countedDate(base.addDays(SyncMemory::maxFutureDates)), base.addSecs(SyncMemory::maxFutureDates));

    const QString path = supportPath(SyncMemory::fileName);
    const auto empty = [&] { return !SyncMemory(supportDir.path()).hasSyncedWith("_one"); };
    writeFile(path, "{\"syncedAccounts\": [1, \"\"");
    EXPECT_TRUE(empty());
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EXPECT_TRUE(empty());
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_TRUE(empty());
}

// The places were added later: a file without them reads as before, and the file
// still holds the accounts where builds that know nothing of places read them.
TEST_F(SyncMemoryTest, PlacesAreKeptBesideWhatOlderBuildsRead)
{
    const QString path = supportPath(SyncMemory::fileName);
    writeFile(path, R"({"syncedAccounts": ["_one"], "futureRecordDates": []})");
    {
        SyncMemory memory(supportDir.path());
        EXPECT_TRUE(memory.hasSyncedWith("_one"));
        EXPECT_FALSE(memory.hasSyncedAt("/mnt/share"));
        memory.rememberSyncAt("/mnt/share");
        memory.rememberSyncAt("");
        memory.rememberSyncAt("/mnt/share");
    }
    const QJsonObject root = QJsonDocument::fromJson(readFile(path)).object();
    EXPECT_EQ(root.value("syncedAccounts"), QJsonArray{"_one"});
    EXPECT_EQ(root.value("syncedLocations"), QJsonArray{"/mnt/share"});
    const SyncMemory memory(supportDir.path());
    EXPECT_TRUE(memory.hasSyncedAt("/mnt/share"));
    EXPECT_FALSE(memory.hasSyncedAt("/mnt"));
    EXPECT_FALSE(memory.hasSyncedAt(""));
}

// The records synced with an account are kept for thousands of uploads, in a bounded
// file: the latest stay, the oldest go first, another account's list starts anew, and
// text that is no list is none. Whether any file was there at all is known apart.
TEST_F(SyncMemoryTest, SyncedRecordsOutliveTheObjectBoundedOldestFirst)
{
    const QString path = supportPath(SyncMemory::fileName);
    EXPECT_FALSE(SyncMemory(supportDir.path()).wasFound());
    const auto tag = [](int i) { return QString::number(0x10000000 + i, 16); };
    const int total = int(SyncedRecordTags::maxTags) + 500;
    {
        SyncMemory memory(supportDir.path());
        for (int i = 0; i < total; i += 50) {
            QStringList latestFirst;
            for (int j = std::min(total, i + 50) - 1; j >= i; --j)
                latestFirst << tag(j);
            memory.rememberSyncedRecords("_one", latestFirst);
        }
    }
    EXPECT_LT(QFileInfo(path).size(), 128 * 1024);
    SyncMemory memory(supportDir.path());
    EXPECT_TRUE(memory.wasFound());
    EXPECT_EQ(memory.syncedRecords().size(), SyncedRecordTags::maxTags);
    EXPECT_TRUE(memory.syncedRecords().holds("_one", tag(total - 1)));
    EXPECT_TRUE(memory.syncedRecords().holds("_one", tag(500)));
    EXPECT_FALSE(memory.syncedRecords().holds("_one", tag(499)));
    EXPECT_FALSE(memory.syncedRecords().holds("_two", tag(total - 1)));
    EXPECT_FALSE(memory.syncedRecords().holds("_one", ""));
    memory.rememberSyncedRecords("_two", {"a"});
    EXPECT_EQ(SyncMemory(supportDir.path()).syncedRecords().size(), 1);
    EXPECT_FALSE(SyncMemory(supportDir.path()).syncedRecords().holds("_one", tag(total - 1)));

    for (const QByteArray& junk : {QByteArray("not base64!"), QByteArray("AAAA"), QByteArray()}) {
        writeFile(path, R"({"syncedRecords": {"account": "_one", "tags": ")" + junk + R"("}})");
        EXPECT_EQ(SyncMemory(supportDir.path()).syncedRecords().size(), 0) << junk.constData();
    }
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_TRUE(SyncMemory(supportDir.path()).wasFound());
}

} // namespace
