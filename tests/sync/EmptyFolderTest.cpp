// An unmounted share leaves its empty mount point where the database was: the sync
// pauses there and writes nothing, and resumes once the share is back.
#include "../platform/cloud/CloudTestSupport.h"
#include "platform/cloud/folder/FolderContainer.h"
#include "platform/cloud/memory/MemoryCloud.h"
#include "platform/notifications/RecordingNotifier.h"
#include "store/ProfileStore.h"
#include "support/TestSupport.h"
#include "sync/CloudKitProfileSync.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;
using Call = cloud::MemoryCloud::Call;

namespace {

QString pausedAt(const QString& place)
{
    return QString("Cloud Sync: The shared folder “%1” looks empty or unmounted: it holds none of the profiles this "
                   "computer synced with it. Sync is paused, and nothing is written into it, until it is back.")
        .arg(place);
}

// One machine whose store lives in the test's data folder; its sync is made anew
// for each start, on the container the test gives.
class EmptyFolder : public PlatformFixture {
protected:
    EmptyFolder()
    {
        Notifier::setInstance(&notifier);
        QDir().mkpath(share());
    }
    ~EmptyFolder() override
    {
        sync.reset();
        queue->runUntilIdle();
        Notifier::setInstance(nullptr);
    }

    // A start of the machine, its pushes wired as the application wires them.
    void start(std::shared_ptr<cloud::Container> container)
    {
        sync.reset();
        store = std::make_shared<ProfileStore>();
        store->onError = [this](const QString& title, const QString& text) { messages.append(title + ": " + text); };
        queue->runUntilIdle();
        sync = CloudKitProfileSync::create(store, container);
        container->setRemoteNotificationHandler([this](const QVariantMap& push) { sync->handleRemoteNotification(push); });
        container->registerForRemoteNotifications([](auto, auto) {});
        sync->start();
        queue->advance(3s);
    }
    std::shared_ptr<cloud::Container> folderClient(const QString& path)
    {
        return cloud::FolderContainer::create(CloudKitProfileSync::containerIdentifier, {path, true}, {});
    }
    void edit(const QString& name)
    {
        store->renameUserProfile(store->activeUserProfile().id, name);
        queue->advance(3s);
    }
    QString share() const { return supportPath("share"); }
    static QStringList entries(const QString& path)
    {
        return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // The payload of the folder's profiles record, fetched as another machine would.
    QByteArray storedPayload(const QString& path)
    {
        const auto record = fetch(*queue, *folderClient(path)->privateCloudDatabase(), "profiles").value;
        return record ? record->bytes("payload").value_or("") : "";
    }

    RecordingNotifier notifier;
    std::shared_ptr<ProfileStore> store;
    std::shared_ptr<CloudKitProfileSync> sync;
    QStringList messages;
};

// Every writer stays out of the empty mount point (uploads, Sync Now, the subscription
// reset, a restart, the 30-s look), the pause is told once a run, and the share's
// return resumes the sync on its own: the edit made meanwhile goes up. A folder never
// synced with (the share mounted elsewhere) is set up as ever.
TEST_F(EmptyFolder, AnUnmountedShareIsLeftEmptyAndItsReturnResumesTheSync)
{
    start(folderClient(share()));
    ASSERT_TRUE(QFile::exists(share() + "/records/profiles.json"));
    messages.clear();

    ASSERT_TRUE(QDir().rename(share(), supportPath("away")));
    ASSERT_TRUE(QDir().mkpath(share()));
    edit("Edited while away");
    sync->requestSyncNow();
    sync->requestSubscriptionReset();
    queue->advance(35s);
    EXPECT_EQ(entries(share()), QStringList{});
    EXPECT_EQ(messages, QStringList{pausedAt(share())});
    start(folderClient(share()));
    sync->requestSyncNow();
    queue->advance(35s);
    EXPECT_EQ(entries(share()), QStringList{});
    EXPECT_EQ(messages, (QStringList{pausedAt(share()), pausedAt(share())}));

    ASSERT_TRUE(QDir().rmdir(share()));
    ASSERT_TRUE(QDir().rename(supportPath("away"), share()));
    queue->advance(35s);
    EXPECT_TRUE(store->makeSyncPayload().contains("Edited while away"));
    EXPECT_EQ(storedPayload(share()), store->makeSyncPayload());
    EXPECT_EQ(messages.filter("looks empty").size(), 2) << messages.join('\n').toStdString();

    ASSERT_TRUE(QDir().mkpath(supportPath("elsewhere")));
    start(folderClient(supportPath("elsewhere")));
    EXPECT_EQ(storedPayload(supportPath("elsewhere")), store->makeSyncPayload());
    EXPECT_EQ(messages.filter("looks empty").size(), 2);
}

// On a database that can say it is gone: no cloud call but the looks while it is away,
// told again only after it was seen, and a look that fails pauses too.
TEST_F(EmptyFolder, ThePauseIsToldOnceUntilTheDatabaseIsSeenAgain)
{
    cloud::MemoryCloud cloud;
    start(cloud.localClient());
    // Every call but the account's status and whether it exists.
    const auto calls = [&cloud] {
        int count = 0;
        for (const Call call : {Call::fetchUserRecordID, Call::fetchRecord, Call::saveRecord, Call::fetchSubscription,
                                Call::saveSubscription, Call::deleteSubscription, Call::fetchAllSubscriptions})
            count += cloud.callCount(call);
        return count;
    };
    messages.clear();
    const int before = calls();
    cloud.setDatabaseGone(true);
    edit("Edited while away");
    sync->requestSyncNow();
    sync->requestSubscriptionReset();
    queue->advance(3s);
    sync->requestSyncNow();
    queue->advance(3s);
    EXPECT_EQ(calls(), before);
    EXPECT_FALSE(cloud.hasDatabase());
    const QString paused = pausedAt(cloud::MemoryCloud::location);
    EXPECT_EQ(messages, QStringList{paused});

    cloud.setDatabaseGone(false);
    sync->requestSyncNow();
    queue->advance(3s);
    EXPECT_EQ(cloud.storedRecord("profiles")->bytes("payload"), store->makeSyncPayload());
    cloud.setDatabaseGone(true);
    sync->requestSyncNow();
    queue->advance(3s);
    EXPECT_EQ(messages, (QStringList{paused, paused}));

    cloud.setDatabaseGone(false);
    cloud.failNext(Call::accountExists, cloud::Error(cloud::Error::Code::serviceUnavailable));
    const int uploads = cloud.callCount(Call::saveRecord);
    edit("Edited while the look failed");
    EXPECT_EQ(cloud.callCount(Call::saveRecord), uploads);
    EXPECT_EQ(messages.last(), "Cloud Sync Error: The cloud database is busy. Try again later.");
}

} // namespace
