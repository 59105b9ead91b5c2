#include "SyncFixture.h"

#include "sync/ProfileSubscriptions.h"

using namespace velmor;
using namespace velmor::test;
using CloudSubscription = cloud::Subscription;
using Code = cloud::Error::Code;

namespace {

class Subscriptions : public PlatformFixture {
protected:
    using Call = cloud::MemoryCloud::Call;

    void run(QCoro::Task<> task)
    {
        queue->runUntilIdle();
        EXPECT_TRUE(task.isReady());
    }
    // What every start runs, in its order.
    QStringList checks()
    {
        reports.clear();
        run(subscriptions.cleanUp());
        run(subscriptions.ensureDatabaseSubscription());
        run(subscriptions.ensureQuerySubscription());
        return reports;
    }
    static CloudSubscription withInfo(CloudSubscription subscription, bool contentAvailable, std::optional<QString> alert)
    {
        subscription.notificationInfo = cloud::NotificationInfo{contentAvailable, std::move(alert)};
        return subscription;
    }
    QList<CloudSubscription> required() const
    {
        return {ProfileSubscriptions::makeDatabaseSubscription(), ProfileSubscriptions::makeQuerySubscription()};
    }

    cloud::MemoryCloud cloud;
    QStringList reports;
    ProfileSubscriptions subscriptions{cloud.localClient()->privateCloudDatabase(),
                                       [this](const QString& title, const QString& message) {
                                           reports.append(title + ": " + message);
                                       }};
    const QString databaseID = ProfileSubscriptions::databaseSubscriptionID;
    const QString queryID = ProfileSubscriptions::querySubscriptionID;
};

TEST_F(Subscriptions, AnEmptyServerGetsBothAndASecondStartSavesNothing)
{
    EXPECT_EQ(checks(), (QStringList{"Cloud Sync: CloudKit database subscription created.",
                                     "Cloud Sync: CloudKit query subscription created."}));
    const CloudSubscription query = cloud.storedSubscriptions().value(1);
    EXPECT_EQ(query.recordType, "VelmorProfiles");
    EXPECT_EQ(query.predicate, CloudSubscription::truePredicate);
    EXPECT_EQ(int(query.options), 3);
    EXPECT_EQ(query.notificationInfo, (cloud::NotificationInfo{true, "Velmor updated"}));
    EXPECT_EQ(cloud.storedSubscriptions(), required());

    EXPECT_EQ(checks(), (QStringList{"Cloud Sync: CloudKit database subscription is active.",
                                     "Cloud Sync: CloudKit query subscription is active."}));
    EXPECT_EQ(cloud.callCount(Call::saveSubscription), 2);
    EXPECT_EQ(cloud.callCount(Call::deleteSubscription), 0);
}

TEST_F(Subscriptions, ForeignAndMalformedOnesAreReplacedOthersKept)
{
    // Alert text differing only in case; a database subscription under the query id; a foreign one.
    cloud.putSubscription(withInfo(CloudSubscription::database(databaseID), true, "velmor updated"));
    cloud.putSubscription(withInfo(CloudSubscription::database(queryID), true, "Velmor updated"));
    cloud.putSubscription(CloudSubscription::recordZone("Elsewhere"));
    EXPECT_EQ(checks(), (QStringList{"Cloud Sync: CloudKit database subscription updated.",
                                     "Cloud Sync: CloudKit query subscription created."}));
    EXPECT_EQ(cloud.storedSubscriptions(), required());
    EXPECT_EQ(cloud.callCount(Call::deleteSubscription), 3);

    // A query subscription with other options and predicate but the right info stays as it is.
    const CloudSubscription ownQuery = withInfo(
        CloudSubscription::query(queryID, "Other", "name == 'x'", CloudSubscription::Option::firesOnRecordDeletion), true,
        "Velmor updated");
    cloud.putSubscription(ownQuery);
    for (const auto& info : {std::optional<cloud::NotificationInfo>{}, std::optional(cloud::NotificationInfo{false, "Velmor updated"}),
                             std::optional(cloud::NotificationInfo{true, std::nullopt})}) {
        CloudSubscription database = CloudSubscription::database(databaseID);
        database.notificationInfo = info;
        cloud.putSubscription(database);
        EXPECT_EQ(checks(), (QStringList{"Cloud Sync: CloudKit database subscription updated.",
                                         "Cloud Sync: CloudKit query subscription is active."}));
    }
    EXPECT_EQ(cloud.storedSubscriptions(), (QList<CloudSubscription>{ProfileSubscriptions::makeDatabaseSubscription(), ownQuery}));
}

TEST_F(Subscriptions, EachFailureIsReportedAndTheNextStepStillRuns)
{
    cloud.putSubscription(CloudSubscription::recordZone("A"));
    cloud.putSubscription(CloudSubscription::recordZone("B"));
    cloud.failNext(Call::deleteSubscription, cloud::Error(Code::serviceUnavailable));
    cloud.failNext(Call::fetchSubscription, cloud::Error(Code::notAuthenticated));
    cloud.failNext(Call::saveSubscription, cloud::Error(Code::permissionFailure));
    EXPECT_EQ(checks(), (QStringList{"Cloud Sync Error: No cloud account is available.",
                                     "Cloud Sync Error: The cloud database could not be written."}));
    // The failed delete did not stop the walk; the next start deletes what is left.
    EXPECT_EQ(cloud.storedSubscriptions(), QList<CloudSubscription>{CloudSubscription::recordZone("A")});

    cloud.failNext(Call::fetchAllSubscriptions, cloud::Error(Code::serviceUnavailable));
    EXPECT_EQ(checks(), (QStringList{"Cloud Sync Error: The cloud database is busy. Try again later.",
                                     "Cloud Sync: CloudKit database subscription created.",
                                     "Cloud Sync: CloudKit query subscription created."}));
    EXPECT_EQ(checks().size(), 2);
    EXPECT_EQ(cloud.storedSubscriptions(), required());
}

TEST_F(Subscriptions, ResetRecreatesBothAndStopsAtTheFirstFailedSave)
{
    run(subscriptions.reset()); // nothing to delete: the failed deletes pass unnoticed
    EXPECT_EQ(reports, QStringList{"Cloud Sync: CloudKit subscriptions reset."});
    EXPECT_EQ(cloud.storedSubscriptions(), required());

    cloud.putSubscription(withInfo(CloudSubscription::database(databaseID), false, std::nullopt));
    reports.clear();
    run(subscriptions.reset());
    EXPECT_EQ(reports, QStringList{"Cloud Sync: CloudKit subscriptions reset."});
    EXPECT_EQ(cloud.storedSubscriptions(), required());

    // The first save fails: neither exists, and the second is not tried.
    reports.clear();
    cloud.failNext(Call::saveSubscription, cloud::Error(Code::serverRejectedRequest));
    run(subscriptions.reset());
    EXPECT_EQ(reports, QStringList{"Cloud Sync Error: The cloud database rejected the request."});
    EXPECT_EQ(cloud.callCount(Call::saveSubscription), 5);
    EXPECT_TRUE(cloud.storedSubscriptions().isEmpty());

    // The second save fails: only the database subscription is left.
    reports.clear();
    cloud.setHolding(true);
    const QCoro::Task<> reset = subscriptions.reset();
    for (const char* call : {"deleteSubscription VelmorProfiles.database.subscription",
                             "deleteSubscription VelmorProfiles.query.subscription",
                             "saveSubscription VelmorProfiles.database.subscription"}) {
        ASSERT_EQ(cloud.heldCalls(), QStringList{call});
        cloud.release(0);
        queue->runUntilIdle();
    }
    cloud.failNext(Call::saveSubscription, cloud::Error(Code::serverRejectedRequest));
    cloud.release(0);
    queue->runUntilIdle();
    EXPECT_TRUE(reset.isReady());
    EXPECT_EQ(reports, QStringList{"Cloud Sync Error: The cloud database rejected the request."});
    EXPECT_EQ(cloud.storedSubscriptions(), QList<CloudSubscription>{ProfileSubscriptions::makeDatabaseSubscription()});
}

} // namespace
