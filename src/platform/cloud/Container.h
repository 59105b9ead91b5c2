#pragma once

#include "platform/cloud/Error.h"
#include "platform/cloud/Record.h"
#include "platform/cloud/Subscription.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace velmor::cloud {

// The end of one cloud call: a value, an error, or (from some databases) neither.
// Every completion runs exactly once, on a later turn of the main queue.
template <typename T>
using Completion = std::function<void(std::optional<T> value, std::optional<Error> error)>;

// The user's private database in a container.
class Database {
public:
    virtual ~Database() = default;

    // Unknown names end in unknownItem.
    virtual void fetchRecord(const QString& recordName, Completion<Record> done) = 0;
    // Saves only while the stored record still carries the record's change tag (a
    // record without one must not exist yet); otherwise serverRecordChanged and the
    // stored record stays. Yields the stored record with its new tag and date.
    virtual void saveRecord(const Record& record, Completion<Record> done) = 0;

    virtual void fetchSubscription(const QString& subscriptionID, Completion<Subscription> done) = 0;
    // Adds the subscription, or replaces the one with the same id.
    virtual void saveSubscription(const Subscription& subscription, Completion<Subscription> done) = 0;
    // Yields the deleted id; unknownItem when there was none.
    virtual void deleteSubscription(const QString& subscriptionID, Completion<QString> done) = 0;
    // Ordered by id.
    virtual void fetchAllSubscriptions(Completion<QList<Subscription>> done) = 0;

    // The largest record a save takes, as stored: its fields with byte fields in base64.
    virtual qint64 maxRecordBytes() const { return defaultMaxRecordBytes; }
    static constexpr qint64 defaultMaxRecordBytes = qint64{64} << 20;
};

// One application's space in the user's cloud account.
class Container {
public:
    using PushHandler = std::function<void(const QVariantMap& dictionary)>;
    using Factory = std::function<std::shared_ptr<Container>(const QString& identifier)>;

    virtual ~Container() = default;

    virtual QString containerIdentifier() const = 0;
    virtual std::shared_ptr<Database> privateCloudDatabase() = 0;
    virtual void accountStatus(Completion<AccountStatus> done) = 0;
    // The name of the user's record: the same for every client of the account.
    virtual void fetchUserRecordID(Completion<QString> done) = 0;
    // Where the account's database lives, as the user names it (a folder's path);
    // empty for a database that has no place of its own.
    virtual QString location() const { return {}; }
    // Whether the account holds a database yet, asked without making one: the first
    // user record id or save sets one up. A share that is not mounted leaves an
    // empty folder where its database was. Databases that always exist say true.
    virtual void accountExists(Completion<bool> done);

    // Starts push delivery to the handler and yields this client's device token.
    // The client never receives pushes for its own changes.
    virtual void registerForRemoteNotifications(Completion<QByteArray> done) = 0;
    // Where pushes go, on the main queue; one handler per container.
    void setRemoteNotificationHandler(PushHandler handler) { pushHandler_ = std::move(handler); }
    // Looks for changes by other clients now instead of at the next regular check
    // ("Sync Now"); databases that learn of changes at once do nothing.
    virtual void checkForChanges() {}
    // Called on the main queue when saves that failed for want of access may work
    // again: a regular check found the database writable after a save failed while
    // it was not (or while it was away). Once per such failure; one handler.
    void setWritableAgainHandler(std::function<void()> handler) { writableAgainHandler_ = std::move(handler); }

    // The container with this identifier, shared by everyone in the process who asks
    // while it is in use: a folder database unless a test installed another factory.
    static std::shared_ptr<Container> named(const QString& identifier);
    // An empty factory restores the folder databases.
    static void setFactory(Factory factory);

protected:
    void deliverPush(const QVariantMap& dictionary) const
    {
        if (pushHandler_)
            pushHandler_(dictionary);
    }
    void deliverWritableAgain() const
    {
        if (writableAgainHandler_)
            writableAgainHandler_();
    }

private:
    PushHandler pushHandler_;
    std::function<void()> writableAgainHandler_;
};

// Installs a container factory for its own lifetime (tests).
class ScopedContainerFactory {
public:
    explicit ScopedContainerFactory(Container::Factory factory) { Container::setFactory(std::move(factory)); }
    ~ScopedContainerFactory() { Container::setFactory({}); }
    ScopedContainerFactory(const ScopedContainerFactory&) = delete;
    ScopedContainerFactory& operator=(const ScopedContainerFactory&) = delete;
};

} // namespace velmor::cloud
