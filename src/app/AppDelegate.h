#pragma once

#include <functional>
#include <memory>

namespace velmor {

class AppModel;

// The application's launch, activation and reopen steps: at launch it brings
// the application forward and then its windows to the front, and asks for the
// desktop's notifications; each time the application becomes active it reads
// the two permission states again (without asking); a reopen with no window
// visible brings the application forward first. It holds the model weakly: the
// application sets `appModel` before launch and clears it before the model goes.
class AppDelegate {
public:
    // What the delegate asks of the application's windows.
    struct Windows {
        std::function<void()> activate;       // the first visible window in front, focused
        std::function<void()> arrangeInFront; // every visible window raised
    };

    explicit AppDelegate(Windows windows);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    AppModel* appModel = nullptr;

    void applicationDidFinishLaunching();
    void applicationDidBecomeActive();
    // True: the application goes on with its own reopen handling (it shows the mapping window).
    bool applicationShouldHandleReopen(bool hasVisibleWindows);

private:
    // Launch steps 4 and 5: the notification permission, then the push registration.
    void askForNotifications();

    Windows windows_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace velmor
