#include "support/TestSupport.h"
#include "sync/SyncMemory.h"

#include <QDir>
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

} // namespace
