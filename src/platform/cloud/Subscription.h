#pragma once

#include <QFlags>
#include <QString>

#include <optional>

namespace velmor::cloud {

// What the push of a subscription asks for.
struct NotificationInfo {
    bool shouldSendContentAvailable = false;
    std::optional<QString> alertBody;
    bool operator==(const NotificationInfo&) const = default;
};

// A standing request to be told about changes in a database. A database
// subscription fires on any record change; a query subscription on changes of
// records of one type that its predicate admits and its options name; a zone
// subscription on any change in the (one, default) zone.
struct Subscription {
    enum class Kind { database, query, recordZone };
    enum class Option : int {
        firesOnRecordCreation = 1,
        firesOnRecordUpdate = 2,
        firesOnRecordDeletion = 4,
    };
    Q_DECLARE_FLAGS(Options, Option)

    // The predicate that admits every record; the only one the databases evaluate.
    static inline const QString truePredicate = QStringLiteral("TRUEPREDICATE");

    QString subscriptionID;
    Kind kind = Kind::database;
    // Query subscriptions only.
    std::optional<QString> recordType;
    std::optional<QString> predicate;
    Options options;
    std::optional<NotificationInfo> notificationInfo;

    static Subscription database(QString id);
    static Subscription query(QString id, QString recordType, QString predicate, Options options);
    static Subscription recordZone(QString id);

    bool operator==(const Subscription&) const = default;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Subscription::Options)

// One change of a stored record, as the subscriptions see it.
struct RecordChange {
    enum class Kind { created, updated, deleted };
    Kind kind = Kind::updated;
    QString recordType;
    QString recordName;
};

// Whether `change` sets off `subscription`. A query subscription whose predicate
// is not the true predicate never fires.
bool fires(const Subscription& subscription, const RecordChange& change);

} // namespace velmor::cloud
