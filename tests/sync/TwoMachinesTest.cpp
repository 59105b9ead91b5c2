#include "platform/Paths.h"
#include "platform/cloud/memory/MemoryCloud.h"
#include "platform/notifications/RecordingNotifier.h"
#include "store/ProfileStore.h"
#include "support/TestSupport.h"
#include "sync/CloudKitProfileSync.h"

#include <gtest/gtest.h>

#include <memory>

using namespace velmor;
using namespace velmor::test;
using namespace std::chrono_literals;
using Call = cloud::MemoryCloud::Call;

namespace {

// Two machines of one user on one cloud database, each with its own data folder,
// their stores and syncs dated by the virtual clock.
class TwoMachines : public PlatformFixture {
protected:
    struct Machine {
        QTemporaryDir folder;
        std::shared_ptr<ProfileStore> store;
        std::shared_ptr<CloudKitProfileSync> sync;
        QStringList messages;
    };

    TwoMachines() { Notifier::setInstance(&notifier); }
    ~TwoMachines() override
    {
        queue->runUntilIdle();
        Notifier::setInstance(nullptr);
    }

    QDateTime now() { return epoch.addMSecs(queue->now().count()); }
    std::unique_ptr<Machine> makeMachine()
    {
        auto machine = std::make_unique<Machine>();
        paths::setApplicationSupportOverride(machine->folder.path());
        machine->store = std::make_shared<ProfileStore>();
        machine->store->clock = [this] { return now(); };
        Machine* raw = machine.get();
        machine->store->onError = [raw](const QString& title, const QString& text) {
            raw->messages.append(title + ": " + text);
        };
        const std::shared_ptr<cloud::Container> client = cloud.makeClient();
        machine->sync = CloudKitProfileSync::create(machine->store, client, [this] { return now(); });
        client->setRemoteNotificationHandler([raw](const QVariantMap& push) { raw->sync->handleRemoteNotification(push); });
        client->registerForRemoteNotifications([](auto, auto) {});
        paths::setApplicationSupportOverride(supportDir.path());
        queue->runUntilIdle();
        return machine;
    }
    static QString userName(const Machine& machine) { return machine.store->activeUserProfile().name; }
    static void rename(Machine& machine, const QString& name)
    {
        machine.store->renameUserProfile(machine.store->activeUserProfile().id, name);
    }
    int uploads() const { return cloud.callCount(Call::saveRecord); }

    RecordingNotifier notifier;
    cloud::MemoryCloud cloud;
    const QDateTime epoch{QDate(2026, 3, 2), QTime(8, 0), Qt::UTC};
};

// Whichever machine changed the profiles last, both end with that change, after one
// upload from each and nothing sent back and forth.
TEST_F(TwoMachines, TheLaterEditWinsOnBothInEitherOrder)
{
    // B's data is older, so B takes A's profiles at start, dated as A's change.
    const auto b = makeMachine();
    queue->advance(1s);
    const auto a = makeMachine();
    a->sync->start();
    queue->advance(3s);
    b->sync->start();
    queue->advance(3s);
    ASSERT_EQ(b->store->makeSyncPayload(), a->store->makeSyncPayload());
    EXPECT_EQ(b->store->lastModifiedDate(), a->store->lastModifiedDate());

    struct Round {
        Machine& first;
        Machine& second;
        QString name;
    };
    for (const Round& round : {Round{*a, *b, "B"}, Round{*b, *a, "A"}}) {
        const int before = uploads();
        rename(round.first, "Earlier " + round.name);
        queue->advance(500ms);
        rename(round.second, "Later " + round.name);
        queue->advance(10s);
        EXPECT_EQ(userName(*a), "Later " + round.name);
        EXPECT_EQ(userName(*b), "Later " + round.name);
        EXPECT_EQ(cloud.storedRecord("profiles")->date("updatedAt"), round.second.store->lastModifiedDate());
        EXPECT_EQ(a->store->lastModifiedDate(), b->store->lastModifiedDate());
        EXPECT_EQ(uploads() - before, 2);
        queue->advance(60s);
        EXPECT_EQ(uploads() - before, 2);
    }
    // Nothing but the subscription housekeeping to tell.
    for (const Machine* machine : {a.get(), b.get()})
        EXPECT_EQ(machine->messages.filter("subscription").size(), machine->messages.size()) << machine->messages.join('\n').toStdString();
}

// A machine installed later starts with built-in profiles that nobody changed: they
// never win over the user's real profiles in the cloud, and are not sent there.
TEST_F(TwoMachines, AFreshInstallTakesTheRealProfilesAndNeverUploadsItsSeed)
{
    const auto a = makeMachine();
    a->sync->start();
    queue->advance(3s);
    rename(*a, "Dr. Real");
    queue->advance(3s);
    queue->advance(1h);
    const auto b = makeMachine();
    const int before = uploads();
    b->sync->start();
    queue->advance(3s);
    EXPECT_EQ(userName(*b).toStdString(), "Dr. Real");
    EXPECT_EQ(b->store->lastModifiedDate(), a->store->lastModifiedDate());
    queue->advance(60s);
    EXPECT_EQ(uploads(), before);
    EXPECT_EQ(userName(*a).toStdString(), "Dr. Real");
    EXPECT_EQ(cloud.storedRecord("profiles")->date("updatedAt"), a->store->lastModifiedDate());
}

} // namespace
