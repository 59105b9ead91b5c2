#include "support/AppModelFixture.h"

#include "store/ProfileExchange.h"
#include "support/InProcessIconRenderer.h"

#include <QRegularExpression>
#include <QSet>

using namespace velmor;
using namespace velmor::test;
using Severity = AppModel::AlertMessage::Severity;

namespace {

class FeedsTest : public AppModelFixture {
protected:
    FeedsTest() { start(); }
};

TEST_F(FeedsTest, TheLogAndTheSampleFeedKeepTheirNewestEntries)
{
    queue->advance(AppModel::startUpLogTime); // past the start-up lines, which are kept beside
    const QStringList startUp = logMessages();
    for (int i = 1; i <= 401; ++i) {
        model->appendLog(QString::number(i));
        RawHIDSample sample;
        sample.usage = i;
        model->appendHIDSample(sample);
    }
    const QStringList log = logMessages().mid(startUp.size());
    ASSERT_EQ(log.size(), 200);
    EXPECT_EQ(log.first(), "202");
    EXPECT_EQ(log.last(), "401");
    ASSERT_EQ(model->hidEvents().get().size(), 400);
    EXPECT_EQ(model->hidEvents().get().first().usage, 2);
}

TEST_F(FeedsTest, LongRunsKeepEveryNewestEntryInOrderStampedAndAnnounced)
{
    QList<qsizetype> logSizes;
    QList<std::int64_t> newestUsages;
    const Subscription logs = model->logs().subscribe([&](const auto& list) { logSizes.append(list.size()); });
    const Subscription samples = model->hidEvents().subscribe([&](const auto& list) {
        newestUsages.append(list.isEmpty() ? 0 : list.last().usage);
    });
    model->clearLogs();
    model->clearHIDEvents();
    const QDateTime before = QDateTime::currentDateTimeUtc();
    for (int i = 1; i <= 1500; ++i) { // the capped lists shift and grow many times over
        model->appendLog(QString::number(i));
        RawHIDSample sample;
        sample.usage = i;
        sample.productName = QString::number(i);
        model->appendHIDSample(sample);
    }
    const QDateTime after = QDateTime::currentDateTimeUtc();

    QStringList expectedLog;
    for (int i = 1301; i <= 1500; ++i)
        expectedLog.append(QString::number(i));
    EXPECT_EQ(logMessages(), expectedLog);
    const QList<RawHIDSample>& kept = model->hidEvents().get();
    ASSERT_EQ(kept.size(), 400);
    for (int i = 0; i < 400; ++i) {
        ASSERT_EQ(kept[i].usage, 1101 + i);
        ASSERT_EQ(kept[i].productName, QString::number(1101 + i));
    }

    // Each change reaches a subscriber once, in order.
    ASSERT_EQ(logSizes.size(), 1 + 1 + 1500);
    EXPECT_EQ(logSizes[2], 1);
    EXPECT_EQ(logSizes.last(), 200);
    ASSERT_EQ(newestUsages.size(), 1 + 1 + 1500);
    EXPECT_EQ(newestUsages[2], 1);
    EXPECT_EQ(newestUsages.last(), 1500);

    // Lines are stamped in UTC with the time they were added, never out of order, each with its own id.
    QSet<QUuid> ids;
    QDateTime previous = before;
    for (const AppModel::LogEntry& entry : model->logs().get()) {
        EXPECT_EQ(entry.timestamp.timeSpec(), Qt::UTC);
        EXPECT_GE(entry.timestamp, previous);
        previous = entry.timestamp;
        ids.insert(entry.id);
    }
    EXPECT_LE(previous, after);
    EXPECT_EQ(ids.size(), 200);
}

TEST_F(FeedsTest, StoreMessagesBecomeAlertsByTheWordsOfTheirTitle)
{
    const auto severityOf = [&](const QString& title, const QString& message = "m") -> std::optional<Severity> {
        if (const auto& shown = model->alertMessage().get())
            model->dismissAlert(shown->id);
        store().onError(title, message);
        return model->alertMessage().get() ? std::optional(model->alertMessage().get()->severity) : std::nullopt;
    };
    EXPECT_EQ(severityOf("Export Success"), Severity::success);
    EXPECT_EQ(severityOf("Success with Warning"), Severity::success);
    EXPECT_EQ(severityOf("Import Warning"), Severity::warning);
    EXPECT_EQ(severityOf("Restored from Backup"), Severity::info);
    EXPECT_EQ(severityOf("success"), Severity::error) << "case-sensitive";
    EXPECT_EQ(severityOf("Cloud Sync"), Severity::error);
    EXPECT_EQ(severityOf("Cloud Sync Error", "subscription failed"), Severity::error);
    EXPECT_EQ(severityOf("Cloud Sync", "Created SUBSCRIPTION"), std::nullopt);
    EXPECT_EQ(logMessages().last(), "Cloud Sync: Created SUBSCRIPTION");
}

// An icon that cannot be drawn, wherever it was asked for (a view, the icon sync), is told
// in an alert and its log line, once, under the title of where the icon came from: a local
// icon as a custom icon's failure, the sync's as the sync tells what it refuses.
TEST_F(AppModelFixture, IconsThatCannotBeDrawnAreToldInAnAlertAndTheLog)
{
    InProcessIconRenderer renderer;
    start();
    renderer.endings.insert("<svg>slow</svg>", IconRenderOutcome::overran);
    for (const char* name : {"slow.svg", "copy.svg"})
        renderer.render({"<svg>slow</svg>", 128, name, IconOrigin::local, {}}, [](const IconRenderResult&) {});
    queue->runUntilIdle();
    ASSERT_TRUE(model->alertMessage().get());
    EXPECT_EQ(model->alertMessage().get()->title, "Custom Icon");
    EXPECT_EQ(model->alertMessage().get()->message,
              "The icon “slow.svg” took too long to draw and was stopped; its tool shows its symbol instead.");
    EXPECT_EQ(logMessages().filter("slow.svg").size(), 1);

    renderer.endings.insert("<svg>synced</svg>", IconRenderOutcome::crashed);
    renderer.render({"<svg>synced</svg>", 128, "synced.svg", IconOrigin::sync, {}}, [](const IconRenderResult&) {});
    queue->runUntilIdle();
    EXPECT_EQ(model->alertMessage().get()->title, "Cloud Sync Error");
    EXPECT_EQ(logMessages().filter("synced.svg").size(), 1);

    // Why the icon cache is not used goes to the log, with no alert.
    const std::optional<AppModel::AlertMessage> alert = model->alertMessage().get();
    renderer.tellLog("The icon cache is not used in this run: /x can be written by other users (mode 0777)");
    queue->runUntilIdle();
    EXPECT_EQ(logMessages().filter("The icon cache is not used in this run: /x").size(), 1);
    EXPECT_EQ(model->alertMessage().get()->id, alert->id);

    model.reset(); // the model stops listening as it goes
    renderer.tellLog("gone");
    renderer.endings.insert("<svg>late</svg>", IconRenderOutcome::crashed);
    renderer.render({"<svg>late</svg>", 128, "late.svg", IconOrigin::local, {}}, [](const IconRenderResult&) {});
}

// Names come from other people: one that holds a newline and a time, an ESC
// sequence or a bidi override writes one line, with those characters visible,
// while the stored name stays as it was.
TEST_F(FeedsTest, NamesFromOutsideWriteOneVisibleLogLine)
{
    const QString fake = QString("x\n12:00:01 Import Successful: PACS profile 'y' has been imported.") + QChar(0x1B)
        + "[2K" + QChar(0x202E) + "lmth";
    PacsProfile pacs;
    pacs.name = fake;
    const QString path = supportPath("hostile.json");
    ProfileExchange::writeFile(path, ProfileExchange::encodePacsProfile(pacs));
    store().importPacsProfile(path);
    queue->runUntilIdle();
    EXPECT_EQ(store().activePacsProfile().name, fake) << "stored as it came";
    const QStringList imports = logMessages().filter("[success] Import Successful");
    ASSERT_EQ(imports.size(), 1);
    EXPECT_EQ(imports.first(),
              "[success] Import Successful: PACS profile 'x\\n12:00:01 Import Successful: PACS profile 'y' has been "
              "imported.\\u{1B}[2K\\u{202E}lmth' has been imported.");

    RadiologyTool tool = addTool(shortcut(13, "w"));
    editTool(tool, [](RadiologyTool& t) { t.name = QString("Zoom\r\n") + QChar(0x2066) + "In"; });
    map("K01", tool.id);
    press("K01");
    EXPECT_EQ(dispatchLines().last(), "Dispatch K01 → Zoom\\r\\n\\u{2066}In (W)");
    const QRegularExpression unsafe("[\\x{0}-\\x{1F}\\x{202A}-\\x{202E}\\x{2066}-\\x{2069}]");
    for (const QString& line : logMessages())
        EXPECT_FALSE(line.contains(unsafe)) << line.toStdString();
}

} // namespace
