#pragma once

#include "platform/Paths.h"
#include "platform/cloud/Notification.h"
#include "platform/cloud/memory/MemoryCloud.h"
#include "platform/notifications/RecordingNotifier.h"
#include "store/ProfileStore.h"
#include "support/TestSupport.h"
#include "sync/CloudKitProfileSync.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '[' << list.join("\", \"").toStdString() << ']';
}

namespace velmor::test {

using namespace std::chrono_literals;

// One of the user's machines: a profile store in a data folder of its own and a
// profile sync over the given client of the cloud account. Its uploads are dated
// by `clockTime`: by default a day ago, so that they never look newer than the
// local data unless a test says so.
struct Machine {
    explicit Machine(std::shared_ptr<cloud::Container> client) : container(std::move(client))
    {
        paths::setApplicationSupportOverride(folder.path());
        store = std::make_shared<ProfileStore>();
        store->onError = [this](const QString& title, const QString& message) { messages.append(title + ": " + message); };
        sync = CloudKitProfileSync::create(store, container, [this] { return clockTime; });
        container->setRemoteNotificationHandler([this](const QVariantMap& push) { sync->handleRemoteNotification(push); });
        container->registerForRemoteNotifications([](auto, auto) {});
    }

    ~Machine() { container->setRemoteNotificationHandler({}); }

    QString userName() const { return store->activeUserProfile().name; }
    void renameUser(const QString& name) { store->renameUserProfile(store->activeUserProfile().id, name); }
    QDateTime localDate() const { return store->lastModifiedDate().value(); }
    // The local document with the active user profile renamed.
    QByteArray payloadRenaming(const QString& name) const
    {
        const auto quoted = [](const QString& n) { return QString("\"name\": \"%1\"").arg(n).toUtf8(); };
        return store->makeSyncPayload().replace(quoted(userName()), quoted(name));
    }

    QTemporaryDir folder;
    std::shared_ptr<cloud::Container> container;
    std::shared_ptr<ProfileStore> store;
    std::shared_ptr<CloudKitProfileSync> sync;
    QDateTime clockTime = QDateTime::currentDateTimeUtc().addDays(-1);
    QStringList messages;
};

// A machine on a cloud account in memory, with recorded notifications, on virtual time.
class SyncFixture : public PlatformFixture {
protected:
    using Call = cloud::MemoryCloud::Call;

    SyncFixture() { Notifier::setInstance(&notifier); }
    ~SyncFixture() override
    {
        cloud.setHolding(false);
        cloud.releaseAll();
        queue->runUntilIdle();
        machines.clear();
        Notifier::setInstance(nullptr);
    }

    // A machine whose store has settled (its first save done), not started yet.
    Machine& addMachine(std::shared_ptr<cloud::Container> client)
    {
        machines.push_back(std::make_unique<Machine>(std::move(client)));
        queue->runUntilIdle();
        return *machines.back();
    }
    Machine& local() { return machines.empty() ? addMachine(cloud.localClient()) : *machines.front(); }
    void start(Machine& machine)
    {
        machine.sync->start();
        queue->runUntilIdle();
    }
    // The stored profiles record with this payload and these dates.
    cloud::Record putProfiles(const QByteArray& payload, std::optional<QDateTime> updatedAt,
                              std::optional<QDateTime> modified = std::nullopt)
    {
        cloud::Record record("VelmorProfiles", "profiles");
        record.setValue("payload", payload);
        if (updatedAt)
            record.setValue("updatedAt", *updatedAt);
        record.setServerMetadata({}, modified);
        return cloud.putRecord(record);
    }
    int calls(Call call) const { return cloud.callCount(call); }
    int uploads() const { return calls(Call::saveRecord); }
    QVariantMap push(cloud::Notification::Type type) const
    {
        cloud::Notification notification;
        notification.type = type;
        notification.containerIdentifier = "iCloud.Velmor";
        return notification.toRemoteNotificationDictionary();
    }

    RecordingNotifier notifier;
    cloud::MemoryCloud cloud;
    std::vector<std::unique_ptr<Machine>> machines;
};

} // namespace velmor::test
