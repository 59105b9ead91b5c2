#pragma once

#include "platform/cloud/Container.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <functional>
#include <memory>

namespace velmor {

// The two subscriptions through which the cloud tells the user's other machines
// that the profiles record changed: one on the whole private database, one on
// records of the profiles type. Each asks for a content-available push with the
// alert "Velmor updated". Outcomes go to the report function; none throws.
class ProfileSubscriptions {
public:
    static inline const QString databaseSubscriptionID = QStringLiteral("VelmorProfiles.database.subscription");
    static inline const QString querySubscriptionID = QStringLiteral("VelmorProfiles.query.subscription");
    static inline const QString alertBody = QStringLiteral("Velmor updated");

    using Report = std::function<void(const QString& title, const QString& message)>;

    // The owner keeps this object alive until every task it started has ended.
    ProfileSubscriptions(std::shared_ptr<cloud::Database> database, Report report);

    // Deletes every subscription with another id, and a known id of the wrong kind.
    QCoro::Task<> cleanUp();
    // Creates the subscription when missing, replaces it when it is not as required.
    QCoro::Task<> ensureDatabaseSubscription();
    QCoro::Task<> ensureQuerySubscription();
    // Deletes both and saves them anew; stops at the first failed save.
    QCoro::Task<> reset();

    static cloud::Subscription makeDatabaseSubscription();
    static cloud::Subscription makeQuerySubscription();
    // Of the expected kind, asking for content available with exactly our alert text.
    // The record type, predicate and options of a query subscription are not compared.
    static bool isAsRequired(const cloud::Subscription& subscription, cloud::Subscription::Kind expected);

private:
    QCoro::Task<> ensure(QString subscriptionID, bool isQuery);

    std::shared_ptr<cloud::Database> database_;
    Report report_;
};

} // namespace velmor
