#pragma once

#include "platform/notifications/Notifier.h"

#include <QList>

namespace velmor {

// Notifications for tests: settings and an authorisation answer the test sets,
// every request shown, in order, with how it was shown, and clicks the test
// makes. Completions come on the main queue.
class RecordingNotifier final : public Notifier {
public:
    RecordingNotifier();

    void getNotificationSettings(SettingsCompletion done) override;
    // Grants when the settings say authorized, unless `authorizationError` is set.
    void requestAuthorization(AuthorizationCompletion done) override;
    // The user clicks the notification: the delegate hears of it, and
    // `completedResponses` counts the completions it runs.
    void click(const NotificationRequest& request);

    NotificationSettings settings;
    std::optional<QString> authorizationError;

    int authorizationRequests = 0;
    QList<NotificationRequest> requests;
    QList<PresentationOptions> presentations; // one per request shown
    int completedResponses = 0;

protected:
    void present(const NotificationRequest& request, PresentationOptions options) override;
};

} // namespace velmor
