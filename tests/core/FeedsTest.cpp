#include "AppModelFixture.h"

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;
using Severity = AppModel::AlertMessage::Severity;

namespace {

RawHIDSample sample(int usage)
{
    RawHIDSample s;
    s.usage = usage;
    return s;
}

class FeedsTest : public AppModelFixture {
protected:
    FeedsTest() { start(); }
};

} // namespace

TEST_F(FeedsTest, TheLogAndTheSampleFeedKeepTheirNewestEntries)
{
    for (int i = 1; i <= 201; ++i)
        model->appendLog(QString::number(i));
    const QList<AppModel::LogEntry>& logs = model->logs.get();
    ASSERT_EQ(logs.size(), 200);
    EXPECT_EQ(logs.first().message, "2");
    EXPECT_EQ(logs.last().message, "201");
    EXPECT_NE(logs[0].id, logs[1].id);
    EXPECT_LE(logs[0].timestamp, logs[1].timestamp);

    for (int i = 1; i <= 401; ++i)
        model->appendHIDSample(sample(i));
    const QList<RawHIDSample>& samples = model->hidEvents.get();
    ASSERT_EQ(samples.size(), 400);
    EXPECT_EQ(samples.first().usage, 2);
    EXPECT_EQ(samples.last().usage, 401);

    // The inspector may empty the feed; appending starts over.
    model->hidEvents.set({});
    model->appendHIDSample(sample(7));
    EXPECT_EQ(model->hidEvents.get().size(), 1);
}

TEST_F(FeedsTest, StoreMessagesBecomeAlertsByTheWordsOfTheirTitle)
{
    const auto severityOf = [&](const QString& title) {
        model->alertMessage.set(std::nullopt);
        store().onError(title, "m");
        return model->alertMessage.get() ? std::optional(model->alertMessage.get()->severity) : std::nullopt;
    };
    EXPECT_EQ(severityOf("Export Success"), Severity::success);
    EXPECT_EQ(severityOf("Success with Warning"), Severity::success);
    EXPECT_EQ(severityOf("Import Warning"), Severity::warning);
    EXPECT_EQ(severityOf("Restored from Backup"), Severity::info);
    EXPECT_EQ(severityOf("Save Failed"), Severity::error);
    EXPECT_EQ(severityOf("success"), Severity::error) << "case-sensitive";
    EXPECT_EQ(severityOf("Cloud Sync"), Severity::error);

    // The sync's subscription notes are only logged, whatever their case.
    model->alertMessage.set(std::nullopt);
    store().onError("Cloud Sync", "Created SUBSCRIPTION for changes");
    EXPECT_FALSE(model->alertMessage.get());
    EXPECT_EQ(model->logs.get().last().message, "Cloud Sync: Created SUBSCRIPTION for changes");
    store().onError("Cloud Sync Error", "subscription failed");
    EXPECT_TRUE(model->alertMessage.get()) << "only the exact title is spared";
}

TEST_F(FeedsTest, ANewerAlertReplacesTheShownOneAndBothAreLogged)
{
    model->presentAlert("Save Failed", "disk full", Severity::error);
    const QUuid first = model->alertMessage.get()->id;
    model->presentAlert("Restored from Backup", "ok", Severity::info);
    const AppModel::AlertMessage shown = *model->alertMessage.get();
    EXPECT_NE(shown.id, first);
    EXPECT_EQ(shown.title, "Restored from Backup");
    const QStringList log = logMessages();
    EXPECT_EQ(log.mid(log.size() - 2), (QStringList{"[error] Save Failed: disk full", "[info] Restored from Backup: ok"}));

    model->presentAlert("T", "M", Severity::success);
    model->presentAlert("T", "M", Severity::warning);
    EXPECT_EQ(logMessages().mid(logMessages().size() - 2), (QStringList{"[success] T: M", "[warning] T: M"}));
}

TEST_F(FeedsTest, EachAlertGetsItsFullTimeOnScreen)
{
    // A window dismisses the alert it showed five seconds later.
    std::vector<Cancellable> timers;
    auto shown = model->alertMessage.subscribe([&](const std::optional<AppModel::AlertMessage>& alert) {
        if (alert)
            timers.push_back(afterOnMain(5s, [this, id = alert->id] { model->dismissAlert(id); }));
    });
    model->presentAlert("First", "a", Severity::error);
    advance(4s);
    model->presentAlert("Second", "b", Severity::error);
    advance(1s);
    ASSERT_TRUE(model->alertMessage.get()) << "the first alert's timer leaves the second alone";
    EXPECT_EQ(model->alertMessage.get()->title, "Second");
    advance(4s);
    EXPECT_FALSE(model->alertMessage.get());
}

TEST_F(FeedsTest, HexByteStrings)
{
    EXPECT_EQ(AppModel::hexByteStrings(QByteArray::fromHex("0aff00")), (QStringList{"0a", "ff", "00"}));
    EXPECT_TRUE(AppModel::hexByteStrings({}).isEmpty());
}
