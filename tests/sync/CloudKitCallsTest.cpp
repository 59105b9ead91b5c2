#include "platform/cloud/memory/MemoryCloud.h"
#include "support/TestSupport.h"
#include "sync/CloudKitCalls.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::cloud;
using Call = MemoryCloud::Call;
using Code = Error::Code;

namespace {

template <typename T>
struct Result {
    std::optional<T> value;
    std::optional<Error> error;
    bool finished = false;
};

// The value of a call that must not have thrown.
template <typename T>
T valueOf(const Result<T>& result)
{
    EXPECT_FALSE(result.error) << result.error->what();
    return result.value.value_or(T{});
}

template <typename T>
QCoro::Task<> collect(QCoro::Task<T> task, Result<T>* result)
{
    try {
        result->value = co_await task;
    } catch (const Error& error) {
        result->error = error;
    }
    result->finished = true;
}

class CloudKitCalls : public test::PlatformFixture {
protected:
    // Runs the call to its end on the main queue.
    template <typename T>
    Result<T> run(QCoro::Task<T> task)
    {
        Result<T> result;
        collect(std::move(task), &result);
        EXPECT_FALSE(result.finished) << "a call resumes on the main queue, never at once";
        queue->runUntilIdle();
        EXPECT_TRUE(result.finished);
        return result;
    }

    MemoryCloud cloud;
    std::shared_ptr<Container> container = cloud.localClient();
    std::shared_ptr<Database> database = container->privateCloudDatabase();
};

Record profiles(const QByteArray& payload)
{
    Record record("VelmorProfiles", "profiles");
    record.setValue("payload", payload);
    return record;
}

TEST_F(CloudKitCalls, FetchesYieldNothingForWhatDoesNotExistAndThrowEverythingElse)
{
    const std::optional<Record> none;
    EXPECT_EQ(valueOf(run(cloudkit::fetchProfilesRecord(database))), none);
    cloud.answerNothingNext(Call::fetchRecord);
    EXPECT_EQ(valueOf(run(cloudkit::fetchRecord(database, "profiles"))), none);
    cloud.failNext(Call::fetchRecord, Error(Code::serviceUnavailable));
    EXPECT_EQ(run(cloudkit::fetchRecord(database, "profiles")).error->code(), Code::serviceUnavailable);

    const Record stored = cloud.putRecord(profiles("p"));
    EXPECT_EQ(valueOf(run(cloudkit::fetchProfilesRecord(database))), stored);

    const std::optional<Subscription> noSubscription;
    EXPECT_EQ(valueOf(run(cloudkit::fetchSubscription(database, "s"))), noSubscription);
    cloud.answerNothingNext(Call::fetchSubscription);
    cloud.putSubscription(Subscription::database("s"));
    EXPECT_EQ(valueOf(run(cloudkit::fetchSubscription(database, "s"))), noSubscription);
    cloud.failNext(Call::fetchSubscription, Error(Code::notAuthenticated));
    EXPECT_EQ(run(cloudkit::fetchSubscription(database, "s")).error->code(), Code::notAuthenticated);
    EXPECT_EQ(valueOf(run(cloudkit::fetchSubscription(database, "s"))), Subscription::database("s"));
}

TEST_F(CloudKitCalls, SavesYieldTheStoredObjectOrTheOneSent)
{
    const Record saved = *run(cloudkit::saveRecord(database, profiles("1"))).value;
    EXPECT_FALSE(saved.recordChangeTag().isEmpty());
    EXPECT_EQ(cloud.storedRecord("profiles"), saved);

    Record next = saved;
    next.setValue("payload", QByteArray("2"));
    cloud.answerNothingNext(Call::saveRecord);
    EXPECT_EQ(run(cloudkit::saveRecord(database, next)).value, next);

    // Another machine saved first.
    EXPECT_EQ(run(cloudkit::saveRecord(database, profiles("3"))).error->code(), Code::serverRecordChanged);

    auto subscription = Subscription::database("d");
    subscription.notificationInfo = NotificationInfo{true, "Velmor updated"};
    cloud.answerNothingNext(Call::saveSubscription);
    EXPECT_EQ(run(cloudkit::saveSubscription(database, subscription)).value, subscription);
    cloud.failNext(Call::saveSubscription, Error(Code::permissionFailure));
    EXPECT_EQ(run(cloudkit::saveSubscription(database, subscription)).error->code(), Code::permissionFailure);
}

TEST_F(CloudKitCalls, ListsAreEmptyWhenNoneCameBackAndDeletingNothingThrows)
{
    cloud.answerNothingNext(Call::fetchAllSubscriptions);
    EXPECT_EQ(run(cloudkit::fetchAllSubscriptions(database)).value, QList<Subscription>{});
    cloud.putSubscription(Subscription::database("b"));
    cloud.putSubscription(Subscription::recordZone("a"));
    EXPECT_EQ(run(cloudkit::fetchAllSubscriptions(database)).value,
              (QList<Subscription>{Subscription::recordZone("a"), Subscription::database("b")}));
    cloud.failNext(Call::fetchAllSubscriptions, Error(Code::serviceUnavailable));
    EXPECT_TRUE(run(cloudkit::fetchAllSubscriptions(database)).error);

    EXPECT_EQ(valueOf(run(cloudkit::deleteSubscription(database, "a"))), "a");
    EXPECT_EQ(run(cloudkit::deleteSubscription(database, "a")).error->code(), Code::unknownItem);
    cloud.answerNothingNext(Call::deleteSubscription);
    EXPECT_EQ(valueOf(run(cloudkit::deleteSubscription(database, "b"))), std::optional<QString>());
}

TEST_F(CloudKitCalls, AccountStatusAndUserRecord)
{
    cloud.setAccountStatus(AccountStatus::noAccount);
    EXPECT_EQ(run(cloudkit::fetchAccountStatus(container)).value, AccountStatus::noAccount);
    cloud.failNext(Call::accountStatus, Error(Code::serviceUnavailable));
    EXPECT_EQ(run(cloudkit::fetchAccountStatus(container)).error->code(), Code::serviceUnavailable);
    EXPECT_EQ(run(cloudkit::fetchUserRecordID(container)).error->code(), Code::notAuthenticated);

    cloud.setAccountStatus(AccountStatus::available);
    cloud.setUserRecordName("_user");
    EXPECT_EQ(run(cloudkit::fetchUserRecordID(container)).value, "_user");
    cloud.answerNothingNext(Call::fetchUserRecordID);
    const auto neither = run(cloudkit::fetchUserRecordID(container));
    ASSERT_TRUE(neither.error);
    EXPECT_EQ(neither.error->rawCode(), 1);
    EXPECT_FALSE(neither.error->localizedDescription().isEmpty());
}

TEST_F(CloudKitCalls, HeldCallsRunWhenReleasedAndResumeTheirCallersInThatOrder)
{
    cloud.setHolding(true);
    Result<std::optional<Record>> fetched;
    Result<Record> saved;
    collect(cloudkit::fetchProfilesRecord(database), &fetched);
    collect(cloudkit::saveRecord(database, profiles("1")), &saved);
    queue->runUntilIdle();
    EXPECT_EQ(cloud.heldCalls(), (QStringList{"fetchRecord profiles", "saveRecord profiles"}));
    EXPECT_FALSE(fetched.finished || saved.finished);

    cloud.release(1);
    EXPECT_FALSE(saved.finished) << "completions wait for the main queue";
    queue->runUntilIdle();
    EXPECT_TRUE(saved.finished);
    EXPECT_FALSE(fetched.finished);

    // The fetch runs only now, and so finds the record saved after it was asked for.
    cloud.release(0);
    queue->runUntilIdle();
    ASSERT_TRUE(fetched.finished);
    EXPECT_EQ(*fetched.value, saved.value);
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), 1);
}

TEST(SubscriptionDescription, NamesTheKindAndTheNotificationInfo)
{
    EXPECT_EQ(cloudkit::subscriptionDescription(Subscription::database("d")),
              "type=database, contentAvailable=false, alertBody=nil");
    auto query = Subscription::query("q", "VelmorProfiles", Subscription::truePredicate, {});
    query.notificationInfo = NotificationInfo{true, "Velmor updated"};
    EXPECT_EQ(cloudkit::subscriptionDescription(query), "type=query, contentAvailable=true, alertBody=Velmor updated");
    auto zone = Subscription::recordZone("z");
    zone.notificationInfo = NotificationInfo{false, std::nullopt};
    EXPECT_EQ(cloudkit::subscriptionDescription(zone), "type=zone, contentAvailable=false, alertBody=nil");
}

} // namespace
