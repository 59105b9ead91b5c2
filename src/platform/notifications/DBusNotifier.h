#pragma once

#include "platform/notifications/Notifier.h"

class QDBusConnection;

namespace velmor {

// Notifications through the freedesktop notification service on the session bus.
// The user allows them while the service answers there: there is no per-application
// permission to ask for.
class DBusNotifier final : public Notifier {
public:
    static inline const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");

    // An empty name uses the session bus; another names a connection made with
    // QDBusConnection::connectToBus.
    explicit DBusNotifier(QString connectionName = {});

    // Authorized with alerts enabled while the service answers, sound as the service
    // says; denied with both disabled otherwise. Badges are not supported.
    void getNotificationSettings(SettingsCompletion done) override;
    // Nothing to ask: granted while the service answers.
    void requestAuthorization(AuthorizationCompletion done) override;
    void add(const NotificationRequest& request) override;

private:
    QDBusConnection connection() const;

    QString connectionName_;
};

} // namespace velmor
