#include "support/AppModelFixture.h"

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
    for (int i = 1; i <= 401; ++i) {
        model->appendLog(QString::number(i));
        RawHIDSample sample;
        sample.usage = i;
        model->appendHIDSample(sample);
    }
    const QStringList log = logMessages();
    ASSERT_EQ(log.size(), 200);
    EXPECT_EQ(log.first(), "202");
    EXPECT_EQ(log.last(), "401");
    ASSERT_EQ(model->hidEvents().get().size(), 400);
    EXPECT_EQ(model->hidEvents().get().first().usage, 2);
    EXPECT_EQ(model->hidEvents().get().last().usage, 401);
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

TEST_F(FeedsTest, EveryAlertIsLoggedAndADismissalEndsOnlyItsOwnAlert)
{
    model->presentAlert("First", "a", Severity::error);
    const QUuid first = model->alertMessage().get()->id;
    model->presentAlert("Second", "b", Severity::info);
    EXPECT_EQ(logMessages().mid(logMessages().size() - 2), (QStringList{"[error] First: a", "[info] Second: b"}));
    model->dismissAlert(first); // a window's timer for the first alert, running late
    ASSERT_TRUE(model->alertMessage().get());
    EXPECT_EQ(model->alertMessage().get()->title, "Second");
    model->dismissAlert(model->alertMessage().get()->id);
    EXPECT_FALSE(model->alertMessage().get());
}

} // namespace
