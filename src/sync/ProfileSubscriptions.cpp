#include "sync/ProfileSubscriptions.h"

#include "sync/CloudKitCalls.h"

#include <QStringList>

namespace velmor {

namespace {

const QString syncTitle = QStringLiteral("Cloud Sync");
const QString errorTitle = QStringLiteral("Cloud Sync Error");

using Kind = cloud::Subscription::Kind;
using Option = cloud::Subscription::Option;

cloud::NotificationInfo requiredInfo() { return {true, ProfileSubscriptions::alertBody}; }

} // namespace

ProfileSubscriptions::ProfileSubscriptions(std::shared_ptr<cloud::Database> database, Report report)
    : database_(std::move(database)), report_(std::move(report))
{
}

cloud::Subscription ProfileSubscriptions::makeDatabaseSubscription()
{
    cloud::Subscription subscription = cloud::Subscription::database(databaseSubscriptionID);
    subscription.notificationInfo = requiredInfo();
    return subscription;
}

cloud::Subscription ProfileSubscriptions::makeQuerySubscription()
{
    cloud::Subscription subscription =
        cloud::Subscription::query(querySubscriptionID, cloudkit::profilesRecordType, cloud::Subscription::truePredicate,
                                   Option::firesOnRecordCreation | Option::firesOnRecordUpdate);
    subscription.notificationInfo = requiredInfo();
    return subscription;
}

bool ProfileSubscriptions::isAsRequired(const cloud::Subscription& subscription, Kind expected)
{
    const auto& info = subscription.notificationInfo;
    return subscription.kind == expected && info && info->shouldSendContentAvailable && info->alertBody == alertBody;
}

QCoro::Task<> ProfileSubscriptions::cleanUp()
{
    QList<cloud::Subscription> subscriptions;
    try {
        subscriptions = co_await cloudkit::fetchAllSubscriptions(database_);
    } catch (const cloud::Error& error) {
        report_(errorTitle, error.localizedDescription());
        co_return;
    }
    for (const cloud::Subscription& subscription : std::as_const(subscriptions)) {
        const QString& id = subscription.subscriptionID;
        const bool keep = (id == databaseSubscriptionID && subscription.kind == Kind::database)
                          || (id == querySubscriptionID && subscription.kind == Kind::query);
        if (keep)
            continue;
        try {
            co_await cloudkit::deleteSubscription(database_, id);
        } catch (const cloud::Error&) {
            // Another delete or the next start tries again.
        }
    }
}

QCoro::Task<> ProfileSubscriptions::ensureDatabaseSubscription() { co_await ensure(databaseSubscriptionID, false); }

QCoro::Task<> ProfileSubscriptions::ensureQuerySubscription() { co_await ensure(querySubscriptionID, true); }

QCoro::Task<> ProfileSubscriptions::ensure(QString subscriptionID, bool isQuery)
{
    const QString word = isQuery ? QStringLiteral("query") : QStringLiteral("database");
    const auto message = [&word](const char* outcome) {
        return QStringLiteral("CloudKit ") + word + QLatin1String(outcome);
    };

    std::optional<cloud::Subscription> existing;
    try {
        existing = co_await cloudkit::fetchSubscription(database_, subscriptionID);
    } catch (const cloud::Error& error) {
        report_(errorTitle, error.localizedDescription());
        co_return;
    }
    if (existing && isAsRequired(*existing, isQuery ? Kind::query : Kind::database)) {
        report_(syncTitle, message(" subscription is active."));
        co_return;
    }
    if (existing) {
        try {
            co_await cloudkit::deleteSubscription(database_, subscriptionID);
        } catch (const cloud::Error&) {
            // Saving under the same id replaces it anyway.
        }
    }
    cloud::Subscription replacement = isQuery ? makeQuerySubscription() : makeDatabaseSubscription();
    try {
        co_await cloudkit::saveSubscription(database_, std::move(replacement));
    } catch (const cloud::Error& error) {
        report_(errorTitle, error.localizedDescription());
        co_return;
    }
    report_(syncTitle, message(existing ? " subscription updated." : " subscription created."));
}

QCoro::Task<> ProfileSubscriptions::reset()
{
    const QStringList ids{databaseSubscriptionID, querySubscriptionID};
    for (const QString& id : ids) {
        try {
            co_await cloudkit::deleteSubscription(database_, id);
        } catch (const cloud::Error&) {
            // A missing subscription cannot be deleted; it is saved below all the same.
        }
    }
    const QList<cloud::Subscription> subscriptions{makeDatabaseSubscription(), makeQuerySubscription()};
    for (const cloud::Subscription& subscription : subscriptions) {
        try {
            co_await cloudkit::saveSubscription(database_, subscription);
        } catch (const cloud::Error& error) {
            report_(errorTitle, error.localizedDescription());
            co_return;
        }
    }
    report_(syncTitle, QStringLiteral("CloudKit subscriptions reset."));
}

} // namespace velmor
