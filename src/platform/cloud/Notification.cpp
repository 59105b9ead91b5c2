#include "platform/cloud/Notification.h"

#include <cmath>
#include <limits>

namespace velmor::cloud {

namespace {
const QString cloudKey = QStringLiteral("cloud");
const QString typeKey = QStringLiteral("type");
const QString containerKey = QStringLiteral("container");
const QString subscriptionKey = QStringLiteral("subscriptionID");
const QString recordKey = QStringLiteral("recordName");
const QString contentAvailableKey = QStringLiteral("content-available");
const QString alertKey = QStringLiteral("alert");

std::optional<QString> optionalString(const QVariantMap& map, const QString& key)
{
    const QVariant value = map.value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}
// An int-sized whole number, from any numeric type a dictionary may carry.
std::optional<int> wholeNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        break;
    default:
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (number != std::trunc(number) || number < std::numeric_limits<int>::min()
        || number > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(number);
}
} // namespace

std::optional<Notification> Notification::fromRemoteNotificationDictionary(const QVariantMap& dictionary)
{
    const QVariant cloudValue = dictionary.value(cloudKey);
    if (cloudValue.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap cloud = cloudValue.toMap();
    const std::optional<int> rawType = wholeNumber(cloud.value(typeKey));
    if (!rawType)
        return std::nullopt;

    Notification n;
    n.type = static_cast<Type>(*rawType);
    n.containerIdentifier = cloud.value(containerKey).toString();
    n.subscriptionID = optionalString(cloud, subscriptionKey);
    n.recordName = optionalString(cloud, recordKey);
    n.contentAvailable = dictionary.value(contentAvailableKey).toInt() == 1;
    n.alertBody = optionalString(dictionary, alertKey);
    return n;
}

QVariantMap Notification::toRemoteNotificationDictionary() const
{
    QVariantMap cloud{{typeKey, static_cast<int>(type)}, {containerKey, containerIdentifier}};
    if (subscriptionID)
        cloud.insert(subscriptionKey, *subscriptionID);
    if (recordName)
        cloud.insert(recordKey, *recordName);
    QVariantMap dictionary{{cloudKey, cloud}};
    if (contentAvailable)
        dictionary.insert(contentAvailableKey, 1);
    if (alertBody)
        dictionary.insert(alertKey, *alertBody);
    return dictionary;
}

Notification Notification::forChange(const Subscription& subscription, const RecordChange& change,
                                     const QString& containerIdentifier)
{
    Notification n;
    switch (subscription.kind) {
    case Subscription::Kind::database:
        n.type = Type::database;
        break;
    case Subscription::Kind::recordZone:
        n.type = Type::recordZone;
        break;
    case Subscription::Kind::query:
        n.type = Type::query;
        n.recordName = change.recordName;
        break;
    }
    n.containerIdentifier = containerIdentifier;
    n.subscriptionID = subscription.subscriptionID;
    if (subscription.notificationInfo) {
        n.contentAvailable = subscription.notificationInfo->shouldSendContentAvailable;
        n.alertBody = subscription.notificationInfo->alertBody;
    }
    return n;
}

} // namespace velmor::cloud
