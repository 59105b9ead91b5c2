#include "app/AppDelegate.h"

#include "core/AppModel.h"
#include "output/ShortcutExecutor.h"
#include "platform/MainQueue.h"
#include "platform/cloud/Notification.h"

namespace velmor {

AppDelegate::AppDelegate(Windows windows) : windows_(std::move(windows)) {}

namespace {

bool isCloudNotification(const QVariantMap& userInfo)
{
    return cloud::Notification::fromRemoteNotificationDictionary(userInfo).has_value();
}

} // namespace

AppDelegate::~AppDelegate()
{
    *alive_ = false;
    if (Notifier::instance().delegate() == this)
        Notifier::instance().setDelegate(nullptr);
}

void AppDelegate::applicationDidFinishLaunching()
{
    Notifier::instance().setDelegate(this);
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
    using Status = NotificationSettings::AuthorizationStatus;
    Notifier::instance().getNotificationSettings([this, alive = alive_](const NotificationSettings& settings) {
        if (!*alive)
            return;
        if (settings.authorizationStatus != Status::notDetermined) {
            postToMain([this, alive, settings] {
                if (*alive)
                    notificationOutcome(settings.authorizationStatus == Status::authorized, std::nullopt, settings);
            });
            return;
        }
        Notifier::instance().requestAuthorization([this, alive](bool granted, std::optional<QString> error) {
            Notifier::instance().getNotificationSettings([this, alive, granted, error](const NotificationSettings& fresh) {
                postToMain([this, alive, granted, error, fresh] {
                    if (*alive)
                        notificationOutcome(granted, error, fresh);
                });
            });
        });
    });
}

void AppDelegate::notificationOutcome(bool granted, const std::optional<QString>& error,
                                      const NotificationSettings& settings)
{
    if (!appModel)
        return;
    appModel->logNotificationAuthorization(granted, error, settings);
    // Granted or not: the cloud's pushes do not depend on the desktop's notifications.
    appModel->registerForRemoteNotifications();
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

void AppDelegate::willPresent(const NotificationRequest& request, std::function<void(PresentationOptions)> completion)
{
    if (isCloudNotification(request.userInfo)) {
        if (appModel)
            appModel->handleRemoteNotification(request.userInfo);
        completion({});
        return;
    }
    completion(PresentationOption::sound | PresentationOption::list | PresentationOption::banner);
}

void AppDelegate::didReceive(const NotificationResponse& response, std::function<void()> completion)
{
    if (appModel && isCloudNotification(response.request.userInfo))
        appModel->handleRemoteNotification(response.request.userInfo);
    completion();
}

} // namespace velmor
