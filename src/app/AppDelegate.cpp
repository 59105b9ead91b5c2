#include "app/AppDelegate.h"

#include "core/AppModel.h"
#include "output/ShortcutExecutor.h"
#include "platform/MainQueue.h"

namespace velmor {

AppDelegate::AppDelegate(Windows windows) : windows_(std::move(windows)) {}

AppDelegate::~AppDelegate() { *alive_ = false; }

void AppDelegate::applicationDidFinishLaunching()
{
    windows_.activate();
    // After launch has finished.
    postToMain([this, alive = alive_] {
        if (*alive)
            windows_.arrangeInFront();
    });
    askForNotifications();
}

void AppDelegate::askForNotifications()
{
    // The desktop's notification permission is asked here, and the push
    // registration follows its outcome, once the model has those entry points.
}

void AppDelegate::applicationDidBecomeActive()
{
    if (appModel)
        appModel->shortcutExecutor().readPermissions();
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (hasVisibleWindows)
        return true;
    windows_.activate();
    windows_.arrangeInFront();
    return true;
}

} // namespace velmor
