#include "platform/notifications/RecordingNotifier.h"

#include "platform/MainQueue.h"

namespace velmor {

RecordingNotifier::RecordingNotifier()
{
    using Setting = NotificationSettings::Setting;
    settings = {NotificationSettings::AuthorizationStatus::authorized, Setting::enabled, Setting::enabled,
                Setting::notSupported};
}

void RecordingNotifier::getNotificationSettings(SettingsCompletion done)
{
    postToMain([done = std::move(done), settings = settings] { done(settings); });
}

void RecordingNotifier::requestAuthorization(AuthorizationCompletion done)
{
    ++authorizationRequests;
    const bool granted =
        !authorizationError && settings.authorizationStatus == NotificationSettings::AuthorizationStatus::authorized;
    postToMain([done = std::move(done), granted, error = authorizationError] { done(granted, error); });
}

void RecordingNotifier::present(const NotificationRequest& request, PresentationOptions options)
{
    requests.append(request);
    presentations.append(options);
}

void RecordingNotifier::click(const NotificationRequest& request)
{
    respond({request, NotificationResponse::defaultActionIdentifier}, [this] { ++completedResponses; });
}

} // namespace velmor
