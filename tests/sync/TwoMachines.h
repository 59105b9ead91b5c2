#pragma once

#include "../store/ScriptedFileSystem.h"
#include "platform/Paths.h"
#include "platform/cloud/memory/MemoryCloud.h"
#include "platform/notifications/RecordingNotifier.h"
#include "store/ProfileStore.h"
#include "support/InProcessIconRenderer.h"
#include "support/TestSupport.h"
#include "sync/CloudKitProfileSync.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

namespace velmor::test {

// Two machines of one user on one cloud database, each with its own data folder,
// their stores and syncs dated by the virtual clock.
class TwoMachines : public PlatformFixture {
protected:
    struct Machine {
        QTemporaryDir folder;
        std::shared_ptr<ProfileStore> store;
        std::shared_ptr<CloudKitProfileSync> sync;
        QStringList messages;
        // How far this machine's clock runs ahead of the others (behind when negative).
        std::chrono::seconds clockAhead{0};
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
        open(*machine);
        return machine;
    }
    // A machine through its start-up sync.
    std::unique_ptr<Machine> startedMachine()
    {
        auto machine = makeMachine();
        machine->sync->start();
        queue->advance(std::chrono::seconds(3));
        return machine;
    }
    // The machine's store and sync made afresh from its folder, as a new start makes them.
    void open(Machine& machine, std::shared_ptr<FileSystem> disk = std::make_shared<LocalFileSystem>())
    {
        paths::setApplicationSupportOverride(machine.folder.path());
        machine.store = std::make_shared<ProfileStore>(std::move(disk));
        Machine* raw = &machine;
        const auto clock = [this, raw] { return now().addSecs(raw->clockAhead.count()); };
        machine.store->clock = clock;
        machine.store->onError = [raw](const QString& title, const QString& text) {
            raw->messages.append(title + ": " + text);
        };
        const std::shared_ptr<cloud::Container> client = makeClient(machine);
        machine.sync = CloudKitProfileSync::create(machine.store, client, clock);
        client->setRemoteNotificationHandler([raw](const QVariantMap& push) { raw->sync->handleRemoteNotification(push); });
        client->registerForRemoteNotifications([](auto, auto) {});
        paths::setApplicationSupportOverride(supportDir.path());
        queue->runUntilIdle();
    }
    // The machine's way to the cloud; a test may put something between the two.
    virtual std::shared_ptr<cloud::Container> makeClient(Machine&) { return cloud.makeClient(); }
    static QStringList userNames(const Machine& machine)
    {
        QStringList names;
        for (const UserProfile& profile : machine.store->userProfiles().get())
            names.append(profile.name);
        names.sort();
        return names;
    }
    // Files beside profiles.json that hold kept profiles.
    static QStringList keptFiles(const Machine& machine)
    {
        return QDir(machine.folder.path()).entryList({"* profile).json", "* profile) *.json"}, QDir::Files, QDir::Name);
    }
    static QString userName(const Machine& machine) { return machine.store->activeUserProfile().name; }
    static void rename(Machine& machine, const QString& name)
    {
        machine.store->renameUserProfile(machine.store->activeUserProfile().id, name);
    }
    int uploads() const { return cloud.callCount(cloud::MemoryCloud::Call::saveRecord); }

    RecordingNotifier notifier;
    InProcessIconRenderer iconRenderer;
    cloud::MemoryCloud cloud;
    const QDateTime epoch{QDate(2026, 3, 2), QTime(8, 0), Qt::UTC};
};


} // namespace velmor::test
