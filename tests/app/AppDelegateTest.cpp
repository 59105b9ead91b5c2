// The delegate's launch steps: the notification permission, its log line, and the
// push registration that follows it in every case.

#include "support/AppModelFixture.h"

#include "app/AppDelegate.h"

using namespace velmor;
using namespace velmor::test;

namespace {

using Status = NotificationSettings::AuthorizationStatus;

class AppDelegateTest : public AppModelFixture {
protected:
    AppDelegateTest() { start(); }

    // Launches a delegate of the model; an undecided user grants when asked.
    void launch()
    {
        int activations = 0;
        int arrangements = 0;
        AppDelegate delegate({[&] { ++activations; }, [&] { ++arrangements; }});
        delegate.appModel = model.get();
        delegate.applicationDidFinishLaunching();
        EXPECT_EQ(activations, 1) << "brought forward at once";
        EXPECT_EQ(arrangements, 0) << "the windows are arranged once launch has returned";
        if (notifier.settings.authorizationStatus == Status::notDetermined)
            notifier.settings.authorizationStatus = Status::authorized;
        queue->runUntilIdle();
        EXPECT_EQ(arrangements, 1);
    }
    int registrations() const { return cloud.callCount(cloud::MemoryCloud::Call::registerForRemoteNotifications); }
};

TEST_F(AppDelegateTest, OnlyAnUndecidedUserIsAskedAndTheOutcomeIsLoggedBeforeRegisteringInEveryCase)
{
    struct Case {
        Status status;
        std::optional<QString> error;
        QString line;
    };
    const QString status = "Notification auth status: ";
    for (const Case& c : {Case{Status::notDetermined, {}, status + "authorized, granted: true"},
                          Case{Status::notDetermined, "The desktop refused",
                               "Notification auth error: The desktop refused"},
                          Case{Status::denied, {}, status + "denied, granted: false"},
                          Case{Status::provisional, {}, status + "provisional, granted: false"},
                          Case{Status::authorized, {}, status + "authorized, granted: true"}}) {
        model->clearLogs();
        notifier.settings.authorizationStatus = c.status;
        notifier.authorizationError = c.error;
        notifier.authorizationRequests = 0;
        const int before = registrations();
        launch();
        EXPECT_EQ(logMessages().filter("Notification auth"), QStringList{c.line});
        EXPECT_EQ(notifier.authorizationRequests, c.status == Status::notDetermined ? 1 : 0) << c.line.toStdString();
        EXPECT_EQ(registrations(), before + 1) << "registered, granted or not";
    }

    // A delegate gone before the answer does nothing.
    model->clearLogs();
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
