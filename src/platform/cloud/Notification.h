#pragma once

#include "platform/cloud/Subscription.h"

#include <QString>
#include <QVariantMap>

#include <optional>

namespace velmor::cloud {

// A push from the cloud database, as the application receives it: a dictionary
// that parses into this. The type may hold values other than the four named.
struct Notification {
    enum class Type : int { query = 1, recordZone = 2, readNotification = 3, database = 4 };

    Type type = Type::database;
    QString containerIdentifier;
    std::optional<QString> subscriptionID;
    // Query notifications: the record that changed.
    std::optional<QString> recordName;
    bool contentAvailable = false;
    std::optional<QString> alertBody;

    // None unless the dictionary holds a cloud notification with a whole-number type.
    static std::optional<Notification> fromRemoteNotificationDictionary(const QVariantMap& dictionary);
    QVariantMap toRemoteNotificationDictionary() const;

    // The push that `subscription` sends for `change` in the given container.
    static Notification forChange(const Subscription& subscription, const RecordChange& change,
                                  const QString& containerIdentifier);

    bool operator==(const Notification&) const = default;
};

} // namespace velmor::cloud
