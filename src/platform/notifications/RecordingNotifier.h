#pragma once

#include "platform/notifications/Notifier.h"

#include <QList>

namespace velmor {

// Notifications for tests: settings and an authorisation answer the test sets,
// and every request shown, in order. Completions come on the main queue.
class RecordingNotifier final : public Notifier {
public:
    RecordingNotifier();

    void getNotificationSettings(SettingsCompletion done) override;
    // Grants when the settings say authorized, unless `authorizationError` is set.
    void requestAuthorization(AuthorizationCompletion done) override;
    void add(const NotificationRequest& request) override;

    NotificationSettings settings;
    std::optional<QString> authorizationError;

    int authorizationRequests = 0;
    QList<NotificationRequest> requests;
};

} // namespace velmor
