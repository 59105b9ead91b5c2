#include "platform/notifications/DBusNotifier.h"

#include "platform/MainQueue.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace velmor {

namespace {

// A notification service that does not answer within this time counts as absent.
constexpr int replyTimeoutMs = 5000;

NotificationSettings settingsFor(bool serviceAnswers, bool playsSounds)
{
    using Setting = NotificationSettings::Setting;
    NotificationSettings settings;
    if (serviceAnswers) {
        settings.authorizationStatus = NotificationSettings::AuthorizationStatus::authorized;
        settings.alertSetting = Setting::enabled;
        settings.soundSetting = playsSounds ? Setting::enabled : Setting::notSupported;
    } else {
        settings.authorizationStatus = NotificationSettings::AuthorizationStatus::denied;
        settings.alertSetting = Setting::disabled;
        settings.soundSetting = Setting::disabled;
    }
    settings.badgeSetting = Setting::notSupported;
    return settings;
}

QDBusMessage serviceCall(const QString& method)
{
    return QDBusMessage::createMethodCall(DBusNotifier::serviceName, DBusNotifier::objectPath,
                                          DBusNotifier::serviceName, method);
}

} // namespace

DBusNotifier::DBusNotifier(QString connectionName) : connectionName_(std::move(connectionName)) {}

QDBusConnection DBusNotifier::connection() const
{
    return connectionName_.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(connectionName_);
}

void DBusNotifier::getNotificationSettings(SettingsCompletion done)
{
    const QDBusConnection bus = connection();
    if (!bus.isConnected()) {
        postToMain([done = std::move(done)] { done(settingsFor(false, false)); });
        return;
    }
    // Asking for the capabilities starts a service that the bus activates on demand.
    const QDBusPendingCall pending = bus.asyncCall(serviceCall(QStringLiteral("GetCapabilities")), replyTimeoutMs);
    // Deletes itself once the answer is in.
    auto* watcher = new QDBusPendingCallWatcher(pending);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done = std::move(done)](QDBusPendingCallWatcher* finished) {
                         const QDBusPendingReply<QStringList> reply = *finished;
                         finished->deleteLater();
                         const bool answers = !reply.isError();
                         done(settingsFor(answers, answers && reply.value().contains(QStringLiteral("sound"))));
                     });
}

void DBusNotifier::requestAuthorization(AuthorizationCompletion done)
{
    getNotificationSettings([done = std::move(done)](const NotificationSettings& settings) {
        done(settings.authorizationStatus == NotificationSettings::AuthorizationStatus::authorized, std::nullopt);
    });
}

void DBusNotifier::add(const NotificationRequest& request)
{
    const QDBusConnection bus = connection();
    if (!bus.isConnected())
        return;
    QDBusMessage call = serviceCall(QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (server default)
    call << QStringLiteral("Velmor") << 0u << QString() << request.title << request.body << QStringList()
         << QVariantMap() << -1;
    bus.call(call, QDBus::NoBlock);
}

} // namespace velmor
