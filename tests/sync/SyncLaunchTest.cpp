#include "platform/cloud/Notification.h"
#include "platform/cloud/memory/MemoryCloud.h"
#include "platform/notifications/RecordingNotifier.h"
#include "store/ProfileStore.h"
#include "support/TestSupport.h"
#include "sync/CloudKitProfileSync.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;
using Call = cloud::MemoryCloud::Call;
using Type = cloud::Notification::Type;

namespace {

// The start, "Sync Now" and pushes hand back to their caller before the cloud hears of them.
class SyncLaunch : public PlatformFixture {
protected:
    SyncLaunch()
    {
        Notifier::setInstance(&notifier);
        queue->runUntilIdle(); // the store's first save
    }
    ~SyncLaunch() override
    {
        queue->runUntilIdle();
        Notifier::setInstance(nullptr);
    }

    int cloudCalls() const
    {
        int calls = 0;
        for (int call = 0; call <= static_cast<int>(Call::fetchAllSubscriptions); ++call)
            calls += cloud.callCount(static_cast<Call>(call));
        return calls;
    }
    static QVariantMap push(Type type)
    {
        cloud::Notification notification;
        notification.type = type;
        return notification.toRemoteNotificationDictionary();
    }

    RecordingNotifier notifier;
    cloud::MemoryCloud cloud;
    std::shared_ptr<ProfileStore> store = std::make_shared<ProfileStore>();
    std::shared_ptr<CloudKitProfileSync> sync = CloudKitProfileSync::create(store, cloud.localClient());
};

TEST_F(SyncLaunch, EachEntryReturnsBeforeItsFirstCloudCall)
{
    sync->start();
    // "Sync Now" in the same turn follows the start instead of running a second one.
    sync->requestSyncNow();
    EXPECT_EQ(cloudCalls(), 0);
    queue->runUntilIdle();
    EXPECT_EQ(cloud.callCount(Call::accountStatus), 3);
    EXPECT_EQ(cloud.storedSubscriptions().size(), 2);

    for (const Type type : {Type::query, Type::recordZone, Type::database, Type::readNotification}) {
        SCOPED_TRACE(static_cast<int>(type));
        const int calls = cloudCalls();
        const int fetches = cloud.callCount(Call::fetchRecord);
        sync->handleRemoteNotification(push(type));
        EXPECT_EQ(cloudCalls(), calls);
        queue->runUntilIdle();
        EXPECT_EQ(cloud.callCount(Call::fetchRecord) - fetches, type == Type::readNotification ? 0 : 1);
    }

    const int calls = cloudCalls();
    sync->requestSyncNow();
    EXPECT_EQ(cloudCalls(), calls);
    queue->runUntilIdle();
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), 6);
}

TEST_F(SyncLaunch, ASyncGoneBeforeItsTurnCallsNothing)
{
    sync->start();
    sync->handleRemoteNotification(push(Type::query));
    sync->requestSyncNow();
    sync.reset();
    queue->runUntilIdle();
    EXPECT_EQ(cloudCalls(), 0);
}

} // namespace

namespace {

// A burst of pushes, each asking for the record: while one fetch runs the others are
// merged into one that waits, so the burst costs two fetches at most; a burst within
// one turn costs one.
TEST_F(SyncLaunch, PushesWhileAFetchRunsOrWaitsAreMerged)
{
    sync->start();
    queue->runUntilIdle();
    int fetches = cloud.callCount(Call::fetchRecord);
    for (int i = 0; i < 1000; ++i)
        sync->handleRemoteNotification(push(Type::query));
    queue->runUntilIdle();
    EXPECT_EQ(cloud.callCount(Call::fetchRecord) - fetches, 1);

    fetches = cloud.callCount(Call::fetchRecord);
    cloud.setHolding(true);
    sync->handleRemoteNotification(push(Type::database));
    queue->runUntilIdle();
    cloud.releaseAll(); // the account checks, up to the fetch
    queue->runUntilIdle();
    cloud.releaseAll();
    queue->runUntilIdle();
    ASSERT_EQ(cloud.heldCalls(), QStringList{"fetchRecord profiles"});
    for (int i = 0; i < 1000; ++i) {
        sync->handleRemoteNotification(push(Type::query));
        sync->requestSyncNow();
    }
    queue->runUntilIdle();
    cloud.setHolding(false);
    cloud.releaseAll();
    queue->runUntilIdle();
    EXPECT_EQ(cloud.callCount(Call::fetchRecord) - fetches, 2);

    // Quiet again: the next push fetches at once.
    sync->handleRemoteNotification(push(Type::query));
    queue->runUntilIdle();
    EXPECT_EQ(cloud.callCount(Call::fetchRecord) - fetches, 3);
}

} // namespace
