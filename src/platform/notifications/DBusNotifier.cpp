#include "platform/notifications/DBusNotifier.h"

#include "platform/MainQueue.h"
#include "platform/Text.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace velmor {

// The service's signals, as a receiver QtDBus can connect.
class DBusNotifier::Signals final : public QObject {
    Q_OBJECT
public:
    std::function<void(uint id, const QString& actionKey)> onAction;
    std::function<void(uint id)> onClosed;

public slots:
    void actionInvoked(uint id, const QString& actionKey) { onAction(id, actionKey); }
    void notificationClosed(uint id, uint /*reason*/) { onClosed(id); }
};

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

DBusNotifier::~DBusNotifier() { delete signals_.data(); }

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

void DBusNotifier::present(const NotificationRequest& request, PresentationOptions options)
{
    QDBusConnection bus = connection();
    if (!bus.isConnected())
        return;
    listen(bus);
    // Whether the service reads the body as markup is its own to say, and another
    // service may take the name while we run: asked before each notification.
    auto* watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(serviceCall(QStringLiteral("GetCapabilities")), replyTimeoutMs), signals_.data());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, signals_.data(),
                     [this, request, options](QDBusPendingCallWatcher* finished) {
                         const QDBusPendingReply<QStringList> reply = *finished;
                         finished->deleteLater();
                         // Unknown counts as markup: escaped text is at worst shown escaped.
                         notify(request, options,
                                reply.isError() || reply.value().contains(QStringLiteral("body-markup")));
                     });
}

QString DBusNotifier::bodyText(const QString& body, bool markup)
{
    QString text = text::visibleControls(body);
    if (!markup)
        return text;
    // The three the service's markup gives a meaning; quotes are plain text there.
    text.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    text.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    text.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return text;
}

void DBusNotifier::notify(const NotificationRequest& request, PresentationOptions options, bool bodyIsMarkup)
{
    QDBusConnection bus = connection();
    if (!bus.isConnected())
        return;
    QVariantMap hints;
    if (!options.testFlag(PresentationOption::list))
        hints.insert(QStringLiteral("transient"), true);
    if (!options.testFlag(PresentationOption::sound))
        hints.insert(QStringLiteral("suppress-sound"), true);
    QDBusMessage call = serviceCall(QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary (never markup), body, actions, hints, expire_timeout (server default)
    call << QStringLiteral("Velmor") << 0u << QString() << text::visibleControls(request.title)
         << bodyText(request.body, bodyIsMarkup)
         << QStringList{NotificationResponse::defaultActionIdentifier, QString()} << hints << -1;
    // Goes with the notifier if the answer never comes.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, replyTimeoutMs), signals_.data());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, signals_.data(),
                     [this, request](QDBusPendingCallWatcher* finished) {
                         const QDBusPendingReply<uint> reply = *finished;
                         finished->deleteLater();
                         if (!reply.isError())
                             shown_.insert(reply.value(), request);
                     });
}

void DBusNotifier::listen(QDBusConnection& bus)
{
    if (signals_)
        return;
    signals_ = new Signals;
    signals_->setParent(QCoreApplication::instance());
    signals_->onAction = [this](uint id, const QString& actionKey) { actionInvoked(id, actionKey); };
    signals_->onClosed = [this](uint id) { shown_.remove(id); };
    bus.connect(serviceName, objectPath, serviceName, QStringLiteral("ActionInvoked"), signals_.data(),
                SLOT(actionInvoked(uint, QString)));
    bus.connect(serviceName, objectPath, serviceName, QStringLiteral("NotificationClosed"), signals_.data(),
                SLOT(notificationClosed(uint, uint)));
}

void DBusNotifier::actionInvoked(uint id, const QString& actionKey)
{
    // Other applications' notifications share the signal.
    const auto found = shown_.constFind(id);
    if (found == shown_.cend())
        return;
    respond({*found, actionKey});
}

} // namespace velmor

#include "DBusNotifier.moc"
