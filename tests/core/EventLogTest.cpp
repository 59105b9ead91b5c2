#include "support/AppModelFixture.h"

#include "core/ActivityFeeds.h"
#include "platform/cloud/Notification.h"

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;
using Call = cloud::MemoryCloud::Call;

namespace {

class EventLog : public AppModelFixture {
protected:
    void push()
    {
        cloud::Notification notification;
        notification.type = cloud::Notification::Type::query;
        model->handleRemoteNotification(notification.toRemoteNotificationDictionary());
        queue->runUntilIdle();
    }
    void rename(const QString& name) { store().renamePacsProfile(model->activePacsProfile().id, name); }
};

// A storm of pushes is one gathered line: the start-up lines stay, and every upload has
// its own line that says what went up.
TEST_F(EventLog, AfterAThousandPushesTheStartUpLinesAndEveryUploadLineStay)
{
    start();
    queue->advance(5s);
    const QStringList startUp = logMessages();
    const qsizetype uploadedAtStart = startUp.filter(QStringLiteral("Cloud Sync: uploaded the profiles")).size();
    ASSERT_FALSE(startUp.isEmpty());
    const int savesBefore = cloud.callCount(Call::saveRecord);
    for (int i = 1; i <= 1'000; ++i) {
        push();
        if (i % 100 == 0) {
            rename(QStringLiteral("Reading Room %1").arg(i / 100));
            queue->advance(4s);
        }
    }
    const QStringList lines = logMessages();
    for (const QString& line : startUp)
        EXPECT_TRUE(lines.contains(line)) << line.toStdString();
    const int uploads = cloud.callCount(Call::saveRecord) - savesBefore;
    EXPECT_GE(uploads, 10);
    const QStringList uploaded = lines.filter(QStringLiteral("Cloud Sync: uploaded the profiles"));
    ASSERT_EQ(uploaded.size() - uploadedAtStart, uploads);
    EXPECT_TRUE(uploaded.last().contains(QStringLiteral("Reading Room 10"))) << uploaded.last().toStdString();
    EXPECT_TRUE(uploaded.last().startsWith(QStringLiteral("Cloud Sync: uploaded the profiles (4 PACS profiles, 1 user "
                                                          "profile, ")))
        << "counts and what changed: " << uploaded.last().toStdString();
    const QStringList pushes = lines.filter(QStringLiteral("CloudKit push received"));
    ASSERT_EQ(pushes.size(), 1);
    EXPECT_EQ(pushes.first(), QStringLiteral("CloudKit push received: type=query, subscriptionID=nil \u00D71000"));
}

// Only a line written right after itself is gathered, except a push's; a gathered line
// moves to the end and takes the latest time; the log keeps its newest lines.
TEST(ActivityFeedsLog, RepeatsAreGatheredWithoutReorderingOtherLines)
{
    ScopedVirtualMainQueue queue;
    ActivityFeeds feeds;
    const auto messages = [&] {
        QStringList list;
        for (const LogEntry& entry : feeds.logs().get())
            list << entry.message;
        return list;
    };
    feeds.appendLog("A");
    feeds.appendLog("A");
    feeds.appendLog("B");
    feeds.appendLog("A");
    EXPECT_EQ(messages(), (QStringList{"A \u00D72", "B", "A"})) << "not consecutive: kept in order";
    feeds.appendLog("A \u00D72"); // a line that only looks gathered
    EXPECT_EQ(messages().last(), "A \u00D72");
    EXPECT_EQ(feeds.logs().get().last().repeats, 1);

    feeds.clearLogs();
    feeds.appendLog("push", ActivityFeeds::Gathering::recent);
    for (int i = 0; i < ActivityFeeds::gatherWithin - 1; ++i)
        feeds.appendLog(QString::number(i));
    feeds.appendLog("push", ActivityFeeds::Gathering::recent);
    EXPECT_EQ(messages().last(), "push \u00D72");
    EXPECT_EQ(messages().count("push \u00D72"), 1);
    for (int i = 0; i < ActivityFeeds::gatherWithin; ++i)
        feeds.appendLog(QStringLiteral("x%1").arg(i));
    feeds.appendLog("push", ActivityFeeds::Gathering::recent);
    EXPECT_EQ(messages().last(), "push") << "too far back: a line of its own";

    for (int i = 0; i < ActivityFeeds::logLimit + 5; ++i)
        feeds.appendLog(QStringLiteral("line %1").arg(i));
    EXPECT_EQ(messages().size(), ActivityFeeds::logLimit);
    EXPECT_EQ(messages().last(), QStringLiteral("line %1").arg(ActivityFeeds::logLimit + 4));
}

// An edit reaches the cloud within a few seconds even while edits keep coming; a burst
// that pauses still goes up one second after its last edit.
TEST_F(EventLog, AStreamOfEditsUploadsWithinAFewSeconds)
{
    start();
    queue->advance(2s);
    const int before = cloud.callCount(Call::saveRecord);
    // An edit every half second for ten seconds: never a pause of one second.
    int firstUploadAt = -1;
    for (int ms = 0; ms < 10'000; ms += 500) {
        rename(QStringLiteral("Room %1").arg(ms));
        queue->advance(500ms);
        if (firstUploadAt < 0 && cloud.callCount(Call::saveRecord) > before)
            firstUploadAt = ms + 500;
    }
    EXPECT_GT(firstUploadAt, 0) << "nothing went up while the edits kept coming";
    EXPECT_LE(firstUploadAt, 3'500);
    EXPECT_GE(cloud.callCount(Call::saveRecord) - before, 3) << "one at least every few seconds";
    EXPECT_LE(cloud.callCount(Call::saveRecord) - before, 5) << "still gathered, not one per edit";

    const int during = cloud.callCount(Call::saveRecord);
    rename("Last");
    queue->advance(900ms);
    EXPECT_EQ(cloud.callCount(Call::saveRecord), during);
    queue->advance(200ms);
    EXPECT_EQ(cloud.callCount(Call::saveRecord), during + 1) << "a pause of one second sends it";
}

} // namespace
