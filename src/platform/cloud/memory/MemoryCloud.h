#pragma once

#include "platform/cloud/Container.h"

#include <QDateTime>
#include <QStringList>

#include <memory>
#include <optional>

namespace velmor::cloud {

// A cloud account in memory, for tests: one private database that several
// clients (the user's machines) share. Calls complete on the main queue. Tests
// can script the outcome of the next calls of a kind, hold calls and release
// them in any order, and look at or seed what the database stores.
class MemoryCloud {
public:
    enum class Call {
        accountStatus,
        accountExists,
        fetchUserRecordID,
        registerForRemoteNotifications,
        fetchRecord,
        saveRecord,
        fetchSubscription,
        saveSubscription,
        deleteSubscription,
        fetchAllSubscriptions,
    };

    explicit MemoryCloud(QString containerIdentifier = QStringLiteral("iCloud.Velmor"));
    ~MemoryCloud();
    MemoryCloud(const MemoryCloud&) = delete;
    MemoryCloud& operator=(const MemoryCloud&) = delete;

    // A new client of the account: another machine, with its own device token.
    std::shared_ptr<Container> makeClient();
    // The client of the machine under test, made on first use; factory() hands it
    // to everyone who asks Container::named().
    std::shared_ptr<Container> localClient();
    Container::Factory factory();

    // --- What the database stores.
    void setAccountStatus(AccountStatus status);
    // Every client's writable-again handler runs, as after a folder became writable.
    void announceWritableAgain();
    void setUserRecordName(QString name);
    // As an unmounted share leaves it: the database is set aside and its place is
    // empty, until a client's first write (a user record id, a save) sets up a new
    // one there. Back again, the set-aside database returns over whatever was written.
    void setDatabaseGone(bool gone);
    bool hasDatabase() const;
    // What every client gives as its location.
    static inline const QString location = QStringLiteral("memory:/cloud");
    // What every client's database gives as its largest record (saves are not held to it).
    void setMaxRecordBytes(qint64 bytes);
    // The modification date that saves get; the wall clock when none.
    void setServerTime(std::optional<QDateTime> time);
    std::optional<Record> storedRecord(const QString& recordName) const;
    // Stores a record as a client outside the test would (no pushes), keeping its
    // modification date when it has one. Returns what is stored.
    Record putRecord(Record record);
    // Puts back a copy of a stored record as it was, change tag and all (a restored backup).
    void putBack(const Record& copy);
    // The next saves (from any client) land whatever they were made over, as over a lock
    // that was taken from its holder.
    void landNextSavesOver(int count);
    QList<Subscription> storedSubscriptions() const;
    void putSubscription(const Subscription& subscription);

    // --- Scripted outcomes: the next call of that kind (from any client) ends with
    // this error, or with neither value nor error, and changes nothing. In order.
    void failNext(Call call, Error error);
    void answerNothingNext(Call call);
    // Calls made so far, held ones included.
    int callCount(Call call) const;

    // --- Held calls: while holding, every call waits. A released call runs against
    // the database at that moment, then completes on the main queue.
    void setHolding(bool holding);
    // "saveRecord profiles", "fetchAllSubscriptions", … in the order they were made.
    QStringList heldCalls() const;
    void release(int index);
    void releaseAll();

    struct Server;

private:
    std::shared_ptr<Server> server_;
};

} // namespace velmor::cloud
