#pragma once

#include "platform/cloud/Container.h"

#include <QCoro/QCoroTask>

#include <memory>
#include <optional>

// The cloud calls the sync awaits: each makes one call, resumes on the main queue
// and either returns or throws cloud::Error. Parameters are taken by value: they
// live in the coroutine's frame for the whole call.
namespace velmor::cloudkit {

// The record that holds the profiles, and its type.
inline const QString profilesRecordName = QStringLiteral("profiles");
inline const QString profilesRecordType = QStringLiteral("VelmorProfiles");

QCoro::Task<cloud::AccountStatus> fetchAccountStatus(std::shared_ptr<cloud::Container> container);
// Throws internalError when the database answers with neither an id nor an error.
QCoro::Task<QString> fetchUserRecordID(std::shared_ptr<cloud::Container> container);
// Whether the account holds a database yet (see Container::accountExists); throws
// internalError, as above, when the answer is neither.
QCoro::Task<bool> fetchAccountExists(std::shared_ptr<cloud::Container> container);

// None when the record does not exist (unknown item, or neither record nor error).
QCoro::Task<std::optional<cloud::Record>> fetchRecord(std::shared_ptr<cloud::Database> database, QString recordName);
QCoro::Task<std::optional<cloud::Record>> fetchProfilesRecord(std::shared_ptr<cloud::Database> database);
// The stored record; the given one when the database returns none. Throws
// serverRecordChanged when another client saved first.
QCoro::Task<cloud::Record> saveRecord(std::shared_ptr<cloud::Database> database, cloud::Record record);

// None when the subscription does not exist (unknown item, or neither).
QCoro::Task<std::optional<cloud::Subscription>> fetchSubscription(std::shared_ptr<cloud::Database> database,
                                                                  QString subscriptionID);
// Empty when the database returns no list.
QCoro::Task<QList<cloud::Subscription>> fetchAllSubscriptions(std::shared_ptr<cloud::Database> database);
// The stored subscription; the given one when the database returns none.
QCoro::Task<cloud::Subscription> saveSubscription(std::shared_ptr<cloud::Database> database,
                                                  cloud::Subscription subscription);
// The deleted id as the database returns it; throws unknownItem when there was none.
QCoro::Task<std::optional<QString>> deleteSubscription(std::shared_ptr<cloud::Database> database,
                                                       QString subscriptionID);

// One line for the diagnostics log: "type=…, contentAvailable=…, alertBody=…".
QString subscriptionDescription(const cloud::Subscription& subscription);

} // namespace velmor::cloudkit
