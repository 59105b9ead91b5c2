#include "support/AppModelFixture.h"

#include "core/ActivityFeeds.h"
#include "model/CustomIconLibrary.h"
#include "platform/cloud/Notification.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;
using Call = cloud::MemoryCloud::Call;

namespace {

class EventLog : public AppModelFixture {
protected:
    void push(std::optional<QString> subscriptionID = std::nullopt)
    {
        cloud::Notification notification;
        notification.type = cloud::Notification::Type::query;
        notification.subscriptionID = std::move(subscriptionID);
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

QStringList messagesOf(const ActivityFeeds& feeds)
{
    QStringList list;
    for (const LogEntry& entry : feeds.logs().get())
        list << entry.message;
    return list;
}

// A sync's 300 icon problems are one notice that points to the Event Log: each problem's
// line stays there, with the start-up lines, through a storm of 1,000 different pushes,
// until the next pass that tells problems.
TEST_F(EventLog, TheLinesANoticePointsToStayThroughAStormOfPushes)
{
    start();
    queue->advance(AppModel::startUpLogTime + 1s);
    const QStringList startUp = logMessages();
    ASSERT_FALSE(startUp.isEmpty());

    const QTemporaryDir outside;
    QDir().mkpath(customIconsDirectory());
    const auto linkedIcons = [&](const QString& prefix, int count) {
        changeActiveToolsElsewhere([&](QList<RadiologyTool>& tools) {
            for (int i = 0; i < count; ++i) {
                const QString name = QStringLiteral("%1 %2.svg").arg(prefix).arg(i, 3, 10, QLatin1Char('0'));
                ASSERT_TRUE(QFile::link(outside.filePath(name), QDir(customIconsDirectory()).filePath(name)));
                RadiologyTool tool;
                tool.id = QUuid::createUuid();
                tool.name = name;
                tool.iconSource = ToolIconSource::custom;
                tool.customIcon = name;
                tools.append(tool);
            }
        });
        model->syncNow();
        queue->advance(5s);
    };
    const auto problemLines = [&](const QString& prefix) {
        return logMessages().filter(QStringLiteral("Cloud Sync Error: The icon “%1 ").arg(prefix));
    };
    linkedIcons(QStringLiteral("linked icon"), 300);
    ASSERT_TRUE(model->alertMessage().get());
    EXPECT_EQ(model->alertMessage().get()->message,
              QStringLiteral("300 icons could not be synced: 300 links. See the Event Log."));
    ASSERT_EQ(problemLines(QStringLiteral("linked icon")).size(), 300);

    for (int i = 0; i < 1'000; ++i)
        push(QStringLiteral("subscription-%1").arg(i));
    const QStringList lines = logMessages();
    EXPECT_EQ(lines.filter(QStringLiteral("CloudKit push received")).size(), ActivityFeeds::logLimit);
    EXPECT_EQ(problemLines(QStringLiteral("linked icon")).size(), 300);
    EXPECT_TRUE(problemLines(QStringLiteral("linked icon")).first().contains(QStringLiteral("“linked icon 000.svg”")));
    for (const QString& line : startUp)
        EXPECT_TRUE(lines.contains(line)) << line.toStdString();

    // The next pass that tells problems takes their place; the earlier ones roll away.
    linkedIcons(QStringLiteral("other icon"), 2);
    for (int i = 0; i < ActivityFeeds::logLimit; ++i)
        push(QStringLiteral("later-%1").arg(i));
    EXPECT_EQ(problemLines(QStringLiteral("linked icon")).size(), 0);
    EXPECT_EQ(problemLines(QStringLiteral("other icon")).size(), 2);
}

// The pinned lines have their bounds, and what they keep stays in order among the others.
TEST(ActivityFeedsLog, PinnedLinesAreBoundedAndKeptInOrder)
{
    ScopedVirtualMainQueue queue;
    ActivityFeeds feeds;
    const auto messages = [&] { return messagesOf(feeds); };
    for (int i = 0; i < ActivityFeeds::startUpLimit + 1; ++i)
        feeds.appendLog(QStringLiteral("start %1").arg(i));
    feeds.appendLog(QStringLiteral("start %1").arg(ActivityFeeds::startUpLimit)); // a repeat of an ordinary line
    feeds.endStartUp();
    feeds.beginPass("icons");
    for (int i = 0; i < ActivityFeeds::passLimit + 1; ++i)
        feeds.appendToPass("icons", QStringLiteral("problem %1").arg(i));
    for (int i = 0; i < 3 * ActivityFeeds::logLimit; ++i)
        feeds.appendLog(QStringLiteral("line %1").arg(i));
    QStringList list = messages();
    ASSERT_EQ(list.size(), ActivityFeeds::startUpLimit + ActivityFeeds::passLimit + ActivityFeeds::logLimit);
    EXPECT_EQ(list.first(), "start 0");
    EXPECT_EQ(list[ActivityFeeds::startUpLimit - 1], QStringLiteral("start %1").arg(ActivityFeeds::startUpLimit - 1));
    EXPECT_EQ(list[ActivityFeeds::startUpLimit], "problem 0");
    EXPECT_FALSE(list.contains(QStringLiteral("problem %1").arg(ActivityFeeds::passLimit))) << "beyond the pass's bound";
    EXPECT_EQ(list.last(), QStringLiteral("line %1").arg(3 * ActivityFeeds::logLimit - 1));

    // The next pass: the earlier one's lines are ordinary, the oldest of them, and go first.
    feeds.beginPass("icons");
    feeds.appendToPass("icons", "new problem");
    feeds.appendLog("one more");
    list = messages();
    EXPECT_EQ(list.size(), ActivityFeeds::startUpLimit + 1 + ActivityFeeds::logLimit);
    EXPECT_FALSE(list.contains("problem 0"));
    EXPECT_EQ(list.filter("line ").size(), ActivityFeeds::logLimit - 1);
    EXPECT_EQ(list[ActivityFeeds::startUpLimit], QStringLiteral("line %1").arg(2 * ActivityFeeds::logLimit + 1));
    EXPECT_EQ(list.mid(list.size() - 2), (QStringList{"new problem", "one more"}));

    // Serials grow with each entry, gathered ones included.
    const QList<LogEntry>& entries = feeds.logs().get();
    EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end(),
                               [](const LogEntry& a, const LogEntry& b) { return a.serial < b.serial; }));
}

// Only a line written right after itself is gathered, except a push's; a gathered line
// moves to the end and takes the latest time; the log keeps its newest lines.
TEST(ActivityFeedsLog, RepeatsAreGatheredWithoutReorderingOtherLines)
{
    ScopedVirtualMainQueue queue;
    ActivityFeeds feeds;
    const auto messages = [&] { return messagesOf(feeds); };
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
