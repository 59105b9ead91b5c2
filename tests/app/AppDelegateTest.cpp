// The delegate's launch steps: the notification permission, its log line, and the
// push registration that follows it in every case.

#include "support/AppModelFixture.h"

#include "app/AppDelegate.h"

using namespace velmor;
using namespace velmor::test;

namespace {

using Status = NotificationSettings::AuthorizationStatus;

// A desktop whose user has not decided yet and answers the prompt with `answer`.
class PromptingNotifier final : public Notifier {
public:
    void getNotificationSettings(SettingsCompletion done) override
    {
        postToMain([done = std::move(done), settings = settings] { done(settings); });
    }
    void requestAuthorization(AuthorizationCompletion done) override
    {
        ++prompts;
        settings.authorizationStatus = answer ? Status::authorized : Status::denied;
        postToMain([done = std::move(done), answer = answer, error = error] { done(answer, error); });
    }
    void add(const NotificationRequest&) override {}

    NotificationSettings settings;
    bool answer = true;
    std::optional<QString> error;
    int prompts = 0;
};

class AppDelegateTest : public AppModelFixture {
protected:
    AppDelegateTest() { start(); }
    ~AppDelegateTest() override { Notifier::setInstance(&notifier); }

    // Launches a delegate of the model and returns the notification lines logged.
    QStringList launch()
    {
        AppDelegate delegate({[this] { ++activations; }, [this] { ++arrangements; }});
        delegate.appModel = model.get();
        delegate.applicationDidFinishLaunching();
        EXPECT_EQ(activations, 1) << "brought forward at once";
        EXPECT_EQ(arrangements, 0) << "the windows are arranged once launch has returned";
        queue->runUntilIdle();
        EXPECT_EQ(arrangements, 1);
        return logMessages().filter("Notification auth");
    }
    int registrations() const { return cloud.callCount(cloud::MemoryCloud::Call::registerForRemoteNotifications); }

    PromptingNotifier prompting;
    int activations = 0;
    int arrangements = 0;
};

TEST_F(AppDelegateTest, AnUndecidedUserIsAskedOnceAndTheOutcomeIsLoggedBeforeRegistering)
{
    Notifier::setInstance(&prompting);
    const int before = registrations();
    EXPECT_EQ(launch(), QStringList{"Notification auth status: authorized, granted: true"});
    EXPECT_EQ(prompting.prompts, 1);
    EXPECT_EQ(registrations(), before + 1);
    EXPECT_FALSE(logMessages().filter("APNs token registered: ").isEmpty()) << "pushes now reach the model";
}

TEST_F(AppDelegateTest, ADecidedUserIsNotAskedAndOnlyAuthorizedCountsAsGranted)
{
    for (const auto& [status, line] : {std::pair{Status::denied, "denied, granted: false"},
                                       std::pair{Status::provisional, "provisional, granted: false"},
                                       std::pair{Status::authorized, "authorized, granted: true"}}) {
        model->clearLogs();
        notifier.settings.authorizationStatus = status;
        const int before = registrations();
        EXPECT_EQ(launch(), QStringList{QStringLiteral("Notification auth status: ") + line});
        EXPECT_EQ(notifier.authorizationRequests, 0);
        EXPECT_EQ(registrations(), before + 1) << "registered, granted or not";
        activations = arrangements = 0;
    }
}

TEST_F(AppDelegateTest, AFailedRequestLogsOnlyTheErrorAndADelegateGoneInBetweenDoesNothing)
{
    Notifier::setInstance(&prompting);
    prompting.error = "The desktop refused";
    EXPECT_EQ(launch(), QStringList{"Notification auth error: The desktop refused"});

    model->clearLogs();
    prompting.settings.authorizationStatus = Status::notDetermined;
    const int before = registrations();
    {
        AppDelegate gone({[] {}, [] {}});
        gone.appModel = model.get();
        gone.applicationDidFinishLaunching();
    }
    queue->runUntilIdle();
    EXPECT_TRUE(logMessages().filter("Notification auth").isEmpty());
    EXPECT_EQ(registrations(), before);
}

} // namespace
