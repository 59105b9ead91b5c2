#include "sync/CloudKitCalls.h"

#include "sync/CloudReply.h"

namespace velmor::cloudkit {

using cloud::Completion;
using cloud::Error;

namespace {
bool isUnknownItem(const std::optional<Error>& error)
{
    return error && error->code() == Error::Code::unknownItem;
}

// A container call that must answer with a value: neither value nor error is an internal error.
template <typename T>
QCoro::Task<T> askForValue(std::shared_ptr<cloud::Container> container, void (cloud::Container::*ask)(Completion<T>))
{
    ReplyAwaiter<T> call([container, ask](Completion<T> done) { (container.get()->*ask)(std::move(done)); });
    Reply<T> reply = co_await call;
    if (reply.error)
        throw *reply.error;
    if (!reply.value)
        throw Error(Error::Code::internalError);
    co_return std::move(*reply.value);
}
} // namespace

QCoro::Task<cloud::AccountStatus> fetchAccountStatus(std::shared_ptr<cloud::Container> container)
{
    ReplyAwaiter<cloud::AccountStatus> call(
        [container](Completion<cloud::AccountStatus> done) { container->accountStatus(std::move(done)); });
    Reply<cloud::AccountStatus> reply = co_await call;
    if (reply.error)
        throw *reply.error;
    co_return reply.value.value_or(cloud::AccountStatus::couldNotDetermine);
}

QCoro::Task<QString> fetchUserRecordID(std::shared_ptr<cloud::Container> container)
{
    co_return co_await askForValue(std::move(container), &cloud::Container::fetchUserRecordID);
}

QCoro::Task<bool> fetchAccountExists(std::shared_ptr<cloud::Container> container)
{
    co_return co_await askForValue(std::move(container), &cloud::Container::accountExists);
}

QCoro::Task<std::optional<cloud::Record>> fetchRecord(std::shared_ptr<cloud::Database> database, QString recordName)
{
    ReplyAwaiter<cloud::Record> call(
        [database, recordName](Completion<cloud::Record> done) { database->fetchRecord(recordName, std::move(done)); });
    Reply<cloud::Record> reply = co_await call;
    if (isUnknownItem(reply.error))
        co_return std::nullopt;
    if (reply.error)
        throw *reply.error;
    co_return std::move(reply.value);
}

QCoro::Task<std::optional<cloud::Record>> fetchProfilesRecord(std::shared_ptr<cloud::Database> database)
{
    co_return co_await fetchRecord(std::move(database), profilesRecordName);
}

QCoro::Task<cloud::Record> saveRecord(std::shared_ptr<cloud::Database> database, cloud::Record record)
{
    ReplyAwaiter<cloud::Record> call(
        [database, record](Completion<cloud::Record> done) { database->saveRecord(record, std::move(done)); });
    Reply<cloud::Record> reply = co_await call;
    if (reply.error)
        throw *reply.error;
    co_return reply.value ? std::move(*reply.value) : std::move(record);
}

QCoro::Task<std::optional<cloud::Subscription>> fetchSubscription(std::shared_ptr<cloud::Database> database,
                                                                  QString subscriptionID)
{
    ReplyAwaiter<cloud::Subscription> call([database, subscriptionID](Completion<cloud::Subscription> done) {
        database->fetchSubscription(subscriptionID, std::move(done));
    });
    Reply<cloud::Subscription> reply = co_await call;
    if (isUnknownItem(reply.error))
        co_return std::nullopt;
    if (reply.error)
        throw *reply.error;
    co_return std::move(reply.value);
}

QCoro::Task<QList<cloud::Subscription>> fetchAllSubscriptions(std::shared_ptr<cloud::Database> database)
{
    ReplyAwaiter<QList<cloud::Subscription>> call(
        [database](Completion<QList<cloud::Subscription>> done) { database->fetchAllSubscriptions(std::move(done)); });
    Reply<QList<cloud::Subscription>> reply = co_await call;
    if (reply.error)
        throw *reply.error;
    co_return reply.value.value_or(QList<cloud::Subscription>{});
}

QCoro::Task<cloud::Subscription> saveSubscription(std::shared_ptr<cloud::Database> database,
                                                  cloud::Subscription subscription)
{
    ReplyAwaiter<cloud::Subscription> call([database, subscription](Completion<cloud::Subscription> done) {
        database->saveSubscription(subscription, std::move(done));
    });
    Reply<cloud::Subscription> reply = co_await call;
    if (reply.error)
        throw *reply.error;
    co_return reply.value ? std::move(*reply.value) : std::move(subscription);
}

QCoro::Task<std::optional<QString>> deleteSubscription(std::shared_ptr<cloud::Database> database,
                                                       QString subscriptionID)
{
    ReplyAwaiter<QString> call([database, subscriptionID](Completion<QString> done) {
        database->deleteSubscription(subscriptionID, std::move(done));
    });
    Reply<QString> reply = co_await call;
    if (reply.error)
        throw *reply.error;
    co_return std::move(reply.value);
}

QString subscriptionDescription(const cloud::Subscription& subscription)
{
    QString type = QStringLiteral("unknown");
    switch (subscription.kind) {
    case cloud::Subscription::Kind::database:
        type = QStringLiteral("database");
        break;
    case cloud::Subscription::Kind::query:
        type = QStringLiteral("query");
        break;
    case cloud::Subscription::Kind::recordZone:
        type = QStringLiteral("zone");
        break;
    }
    const auto& info = subscription.notificationInfo;
    const bool contentAvailable = info && info->shouldSendContentAvailable;
    const QString alertBody = info && info->alertBody ? *info->alertBody : QStringLiteral("nil");
    return QStringLiteral("type=%1, contentAvailable=%2, alertBody=%3")
        .arg(type, contentAvailable ? QStringLiteral("true") : QStringLiteral("false"), alertBody);
}

} // namespace velmor::cloudkit
