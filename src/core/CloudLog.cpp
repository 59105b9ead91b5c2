#include "core/CloudLog.h"

#include "platform/Entitlements.h"
#include "platform/cloud/Container.h"
#include "platform/cloud/Notification.h"
#include "sync/CloudKitCalls.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace velmor::cloudlog {

namespace {

const QString nil = QStringLiteral("nil");

QString typeName(cloud::Notification::Type type)
{
    using Type = cloud::Notification::Type;
    switch (type) {
    case Type::query:
        return QStringLiteral("query");
    case Type::recordZone:
        return QStringLiteral("zone");
    case Type::readNotification:
        return QStringLiteral("read");
    case Type::database:
        return QStringLiteral("database");
    }
    return QStringLiteral("unknown");
}

QString boolText(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }

// A string as itself; anything else as compact JSON.
QString valueText(const std::optional<QJsonValue>& value)
{
    if (!value)
        return nil;
    switch (value->type()) {
    case QJsonValue::String:
        return value->toString();
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(value->toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(value->toObject()).toJson(QJsonDocument::Compact));
    case QJsonValue::Bool:
        return boolText(value->toBool());
    case QJsonValue::Double:
        return QString::number(value->toDouble());
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("null");
}

int raw(NotificationSettings::Setting setting) { return static_cast<int>(setting); }

} // namespace

QString pushReceived(const QVariantMap& dictionary)
{
    const std::optional<cloud::Notification> notification =
        cloud::Notification::fromRemoteNotificationDictionary(dictionary);
    if (!notification)
        return QStringLiteral("CloudKit push received: unable to decode notification.");
    return QStringLiteral("CloudKit push received: type=") + typeName(notification->type)
           + QStringLiteral(", subscriptionID=") + notification->subscriptionID.value_or(nil);
}

QString notificationAuthorization(bool granted, const std::optional<QString>& error,
                                  const NotificationSettings& settings)
{
    if (error)
        return QStringLiteral("Notification auth error: ") + *error;
    return QStringLiteral("Notification auth status: ") + authorizationStatusName(settings.authorizationStatus)
           + QStringLiteral(", granted: ") + boolText(granted);
}

QString notificationSettings(const NotificationSettings& settings)
{
    return QStringLiteral("Notification settings: status=%1, alert=%2, sound=%3, badge=%4")
        .arg(authorizationStatusName(settings.authorizationStatus))
        .arg(raw(settings.alertSetting))
        .arg(raw(settings.soundSetting))
        .arg(raw(settings.badgeSetting));
}

QStringList entitlements()
{
    const std::optional<Entitlements> current = Entitlements::current();
    if (!current)
        return {};
    const auto line = [&current](const char* label, const char* key) {
        return QLatin1String(label) + valueText(current->value(QLatin1String(key)));
    };
    return {line("Entitlements aps-environment: ", "com.apple.developer.aps-environment"),
            line("Entitlements iCloud containers: ", "com.apple.developer.icloud-container-identifiers"),
            line("Entitlements iCloud services: ", "com.apple.developer.icloud-services")};
}

QString dateText(const std::optional<QDateTime>& date)
{
    if (!date || !date->isValid())
        return nil;
    return date->toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

QString diagnosticsFindings(const QStringList& findings)
{
    QStringList parts;
    for (const QString& line : findings)
        parts << (line.endsWith(u'.') ? line.chopped(1) : line);
    return (parts.isEmpty() ? QStringLiteral("Nothing was found") : parts.join(QStringLiteral("; ")))
           + QStringLiteral(". The whole report is in the Event Log.");
}

QCoro::Task<> diagnostics(std::shared_ptr<cloud::Container> container, Log log)
{
    const std::shared_ptr<cloud::Database> database = container->privateCloudDatabase();

    try {
        const cloud::AccountStatus status = co_await cloudkit::fetchAccountStatus(container);
        log(QStringLiteral("CloudKit account status: ") + cloud::accountStatusName(status));
    } catch (const cloud::Error& error) {
        log(QStringLiteral("CloudKit account status error: ") + error.localizedDescription());
    }

    try {
        // Asked first: asking for the id would set up a database, in an unmounted share's empty folder too.
        const bool exists = co_await cloudkit::fetchAccountExists(container);
        if (exists) {
            const QString userRecordID = co_await cloudkit::fetchUserRecordID(container);
            log(QStringLiteral("CloudKit user record ID: ") + userRecordID);
        } else {
            log(QStringLiteral("CloudKit user record ID: none, “%1” holds no database.").arg(container->location()));
        }
    } catch (const cloud::Error& error) {
        log(QStringLiteral("CloudKit user record ID error: ") + error.localizedDescription());
    }

    try {
        const QList<cloud::Subscription> subscriptions = co_await cloudkit::fetchAllSubscriptions(database);
        if (subscriptions.isEmpty()) {
            log(QStringLiteral("CloudKit subscriptions: none found."));
        } else {
            log(QStringLiteral("CloudKit subscriptions: %1 found.").arg(subscriptions.size()));
            for (const cloud::Subscription& subscription : subscriptions)
                log(QStringLiteral("Subscription ") + subscription.subscriptionID + QStringLiteral(": ")
                    + cloudkit::subscriptionDescription(subscription));
        }
    } catch (const cloud::Error& error) {
        log(QStringLiteral("CloudKit subscriptions error: ") + error.localizedDescription());
    }

    try {
        const std::optional<cloud::Record> record = co_await cloudkit::fetchProfilesRecord(database);
        if (!record) {
            log(QStringLiteral("CloudKit profiles record: not found."));
        } else {
            log(QStringLiteral("CloudKit profiles record updatedAt=") + dateText(record->date(QStringLiteral("updatedAt")))
                + QStringLiteral(", modified=") + dateText(record->modificationDate()));
        }
    } catch (const cloud::Error& error) {
        log(QStringLiteral("CloudKit profiles record error: ") + error.localizedDescription());
    }
}

} // namespace velmor::cloudlog
