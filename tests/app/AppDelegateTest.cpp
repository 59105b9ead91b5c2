// The delegate's launch steps: the notification permission, its log line, and the
// push registration that follows it in every case; then the notifications it
// lets through, and the clicks it hands on.

#include "support/AppModelFixture.h"

#include "app/AppDelegate.h"
#include "platform/cloud/Notification.h"

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

// A cloud push in a notification reaches the model and never the screen; any
// other notification is shown every way; a click hands on only a cloud push,
// and its completion runs once on every path, model or not.
TEST_F(AppDelegateTest, CloudNotificationsGoToTheModelOthersAreShownAndEveryClickCompletesOnce)
{
    cloud::Notification push;
    push.type = cloud::Notification::Type::database;
    push.subscriptionID = QStringLiteral("VelmorProfiles.database.subscription");
    const NotificationRequest cloudRequest{"C", "", "Velmor updated", push.toRemoteNotificationDictionary()};
    const NotificationRequest local{"L", "Velmor profiles updated", "User profiles updated: Night", {}};
    const QString received = "CloudKit push received: type=database, subscriptionID=VelmorProfiles.database.subscription";

    auto delegate = std::make_unique<AppDelegate>(AppDelegate::Windows{[] {}, [] {}});
    delegate->appModel = model.get();
    delegate->applicationDidFinishLaunching();
    queue->runUntilIdle();
    ASSERT_EQ(notifier.delegate(), delegate.get());

    model->clearLogs();
    notifier.add(cloudRequest);
    notifier.add(local);
    EXPECT_EQ(notifier.requests, QList<NotificationRequest>{local});
    EXPECT_EQ(notifier.presentations,
              QList<PresentationOptions>{PresentationOption::sound | PresentationOption::list | PresentationOption::banner});
    EXPECT_EQ(logMessages().filter("CloudKit push received"), QStringList{received});

    model->clearLogs();
    notifier.click(local);
    EXPECT_EQ(notifier.completedResponses, 1);
    EXPECT_TRUE(logMessages().filter("CloudKit push received").isEmpty()) << "not a cloud push";
    notifier.click(cloudRequest);
    EXPECT_EQ(notifier.completedResponses, 2);
    EXPECT_EQ(logMessages().filter("CloudKit push received"), QStringList{received});

    // The model gone: nothing is handed on, the completions still run, and a cloud push stays off the screen.
    delegate->appModel = nullptr;
    model->clearLogs();
    notifier.click(cloudRequest);
    notifier.click(local);
    notifier.add(cloudRequest);
    EXPECT_EQ(notifier.completedResponses, 4);
    EXPECT_EQ(notifier.requests.size(), 1);
    EXPECT_TRUE(logMessages().filter("CloudKit push received").isEmpty());

    // The delegate gone: the notifier no longer asks it.
    delegate.reset();
    EXPECT_EQ(notifier.delegate(), nullptr);
    notifier.click(local);
    EXPECT_EQ(notifier.completedResponses, 5);
}

} // namespace
