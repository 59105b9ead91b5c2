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
    // What every start runs, in its order; the reports it made.
    QStringList checks()
    {
        reports.clear();
        run(subscriptions.cleanUp());
        run(subscriptions.ensureDatabaseSubscription());
        run(subscriptions.ensureQuerySubscription());
        return reports;
    }
    static CloudSubscription withInfo(CloudSubscription subscription, std::optional<cloud::NotificationInfo> info)
    {
        subscription.notificationInfo = std::move(info);
        return subscription;
    }
    static QStringList messages(const char* database, const char* query)
    {
        return {QString("Cloud Sync: CloudKit database subscription ") + database,
                QString("Cloud Sync: CloudKit query subscription ") + query};
    }

    cloud::MemoryCloud cloud;
    QStringList reports;
    ProfileSubscriptions subscriptions{cloud.localClient()->privateCloudDatabase(),
                                       [this](const QString& title, const QString& message) {
                                           reports.append(title + ": " + message);
                                       }};
    const QList<CloudSubscription> required{ProfileSubscriptions::makeDatabaseSubscription(),
                                            ProfileSubscriptions::makeQuerySubscription()};
    const QString databaseID = ProfileSubscriptions::databaseSubscriptionID;
    const QString queryID = ProfileSubscriptions::querySubscriptionID;
    const cloud::NotificationInfo ours{true, "Velmor updated"};
};

TEST_F(Subscriptions, AnEmptyServerGetsBothAndASecondStartSavesNothing)
{
    EXPECT_EQ(checks(), messages("created.", "created."));
    const CloudSubscription query = cloud.storedSubscriptions().value(1);
    EXPECT_EQ(query.kind, CloudSubscription::Kind::query);
    EXPECT_EQ(query.recordType, "VelmorProfiles");
    EXPECT_EQ(query.predicate, CloudSubscription::truePredicate);
    EXPECT_EQ(int(query.options), 3);
    EXPECT_EQ(query.notificationInfo, ours);
    EXPECT_EQ(cloud.storedSubscriptions(), required);

    EXPECT_EQ(checks(), messages("is active.", "is active."));
    EXPECT_EQ(cloud.callCount(Call::saveSubscription), 2);
}

TEST_F(Subscriptions, ForeignAndMalformedOnesAreReplacedOthersKept)
{
    cloud.putSubscription(withInfo(CloudSubscription::database(databaseID), cloud::NotificationInfo{true, "velmor updated"}));
    cloud.putSubscription(withInfo(CloudSubscription::database(queryID), ours)); // the wrong kind
    cloud.putSubscription(CloudSubscription::recordZone("Elsewhere"));
    EXPECT_EQ(checks(), messages("updated.", "created."));
    EXPECT_EQ(cloud.storedSubscriptions(), required);

    // Other options and predicate but the right info: kept as it is.
    const CloudSubscription query = withInfo(
        CloudSubscription::query(queryID, "Other", "x == 1", CloudSubscription::Option::firesOnRecordDeletion), ours);
    cloud.putSubscription(query);
    cloud.putSubscription(withInfo(CloudSubscription::database(databaseID), cloud::NotificationInfo{false, "Velmor updated"}));
    EXPECT_EQ(checks(), messages("updated.", "is active."));
    cloud.putSubscription(CloudSubscription::database(databaseID));
    EXPECT_EQ(checks(), messages("updated.", "is active."));
    EXPECT_EQ(cloud.storedSubscriptions(), (QList<CloudSubscription>{required[0], query}));
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
    EXPECT_EQ(cloud.storedSubscriptions(), QList<CloudSubscription>{CloudSubscription::recordZone("A")});

    cloud.failNext(Call::fetchAllSubscriptions, cloud::Error(Code::serviceUnavailable));
    EXPECT_EQ(checks(), QStringList{"Cloud Sync Error: The cloud database is busy. Try again later."}
                            + messages("created.", "created."));
}

TEST_F(Subscriptions, ResetRecreatesBothAndStopsAtTheFirstFailedSave)
{
    const QStringList reset{"Cloud Sync: CloudKit subscriptions reset."};
    const QStringList rejected{"Cloud Sync Error: The cloud database rejected the request."};
    run(subscriptions.reset()); // nothing to delete: the failed deletes pass unnoticed
    cloud.putSubscription(CloudSubscription::database(databaseID));
    run(subscriptions.reset());
    EXPECT_EQ(reports, reset + reset);
    EXPECT_EQ(cloud.storedSubscriptions(), required);

    reports.clear();
    cloud.failNext(Call::saveSubscription, cloud::Error(Code::serverRejectedRequest));
    run(subscriptions.reset());
    EXPECT_EQ(reports, rejected);
    EXPECT_EQ(cloud.callCount(Call::saveSubscription), 5);
    EXPECT_TRUE(cloud.storedSubscriptions().isEmpty());

    // The second save fails: only the database subscription is left.
    reports.clear();
    cloud.setHolding(true);
    const QCoro::Task<> task = subscriptions.reset();
    for (int call = 0; call < 3; ++call) { // two deletes, the first save
        cloud.release(0);
        queue->runUntilIdle();
    }
    cloud.failNext(Call::saveSubscription, cloud::Error(Code::serverRejectedRequest));
    cloud.releaseAll();
    queue->runUntilIdle();
    EXPECT_TRUE(task.isReady());
    EXPECT_EQ(reports, rejected);
    EXPECT_EQ(cloud.storedSubscriptions(), QList<CloudSubscription>{required[0]});
}

} // namespace
