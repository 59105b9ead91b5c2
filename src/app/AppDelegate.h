#pragma once

#include "platform/notifications/Notifier.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace velmor {

class AppModel;

// The application's launch, activation and reopen steps: at launch it brings
// the application forward and then its windows to the front, asks the desktop
// (Notifier) whether it may show notifications, has the model log the outcome
// and then register for the cloud's pushes, granted or not; each time the
// application becomes active it reads the two permission states again (without
// asking); a reopen with no window visible brings the application forward
// first. From launch on it is the notifier's delegate: a notification that
// carries a cloud push goes to the model instead of the screen, any other is
// shown in every way; a click on a cloud notification goes to the model too.
// It holds the model weakly: the application sets `appModel` before launch and
// clears it before the model goes.
class AppDelegate final : public NotificationCenterDelegate {
public:
    // What the delegate asks of the application's windows.
    struct Windows {
        std::function<void()> activate;       // the first visible window in front, focused
        std::function<void()> arrangeInFront; // every visible window raised
    };

    explicit AppDelegate(Windows windows);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    AppModel* appModel = nullptr;

    void applicationDidFinishLaunching();
    void applicationDidBecomeActive();
    // True: the application goes on with its own reopen handling (it shows the mapping window).
    bool applicationShouldHandleReopen(bool hasVisibleWindows);

    void willPresent(const NotificationRequest& request, std::function<void(PresentationOptions)> completion) override;
    void didReceive(const NotificationResponse& response, std::function<void()> completion) override;

private:
    // The notification permission (asked only while the user has not decided),
    // then notificationOutcome on the main queue.
    void askForNotifications();
    void notificationOutcome(bool granted, const std::optional<QString>& error, const NotificationSettings& settings);

    Windows windows_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace velmor
