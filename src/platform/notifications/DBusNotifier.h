#pragma once

#include "platform/notifications/Notifier.h"

#include <QHash>
#include <QPointer>

class QDBusConnection;

namespace velmor {

// Notifications through the freedesktop notification service on the session bus.
// The user allows them while the service answers there: there is no per-application
// permission to ask for. Each notification offers the "default" action, so a click
// on it comes back as ActionInvoked and reaches the delegate.
class DBusNotifier final : public Notifier {
public:
    static inline const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");

    // An empty name uses the session bus; another names a connection made with
    // QDBusConnection::connectToBus.
    explicit DBusNotifier(QString connectionName = {});
    ~DBusNotifier() override;

    // The body as sent: control and bidi characters written visibly (names in it
    // come from other machines), and `<`, `>` and `&` escaped for a service that
    // reads markup ("body-markup" among its capabilities).
    static QString bodyText(const QString& body, bool markup);

    // Authorized with alerts enabled while the service answers, sound as the service
    // says; denied with both disabled otherwise. Badges are not supported.
    void getNotificationSettings(SettingsCompletion done) override;
    // Nothing to ask: granted while the service answers.
    void requestAuthorization(AuthorizationCompletion done) override;

protected:
    // Without the list the notification is transient; without sound, silent.
    void present(const NotificationRequest& request, PresentationOptions options) override;

private:
    class Signals;

    QDBusConnection connection() const;
    // Sends the notification once the service said how it reads the body.
    void notify(const NotificationRequest& request, PresentationOptions options, bool bodyIsMarkup);
    // Listens for ActionInvoked and NotificationClosed once the bus is there.
    void listen(QDBusConnection& bus);
    void actionInvoked(uint id, const QString& actionKey);

    QString connectionName_;
    // A child of the application, so the process-wide notifier does not outlive
    // QtDBus with connections of its own; gone with the notifier otherwise.
    QPointer<Signals> signals_;
    // The notifications on screen, by the service's id, until the service closes them.
    QHash<uint, NotificationRequest> shown_;
};

} // namespace velmor
