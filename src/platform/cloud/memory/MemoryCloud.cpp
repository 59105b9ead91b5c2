#include "platform/cloud/memory/MemoryCloud.h"

#include "platform/MainQueue.h"
#include "platform/cloud/Notification.h"
#include "platform/cloud/Rules.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QUuid>

#include <map>

namespace velmor::cloud {

namespace {
class MemoryClient;
} // namespace

struct MemoryCloud::Server {
    QString identifier;
    AccountStatus status = AccountStatus::available;
    QString userRecordName = u'_' + QUuid::createUuid().toString(QUuid::Id128);
    std::optional<QDateTime> serverTime;
    qint64 maxRecordBytes = Database::defaultMaxRecordBytes;
    QMap<QString, Record> records;
    QMap<QString, Subscription> subscriptions;
    QTemporaryDir assetFolder;
    int assetCount = 0;
    std::map<Call, QList<std::optional<Error>>> scripts;
    std::map<Call, int> counts;
    bool holding = false;
    QList<std::pair<QString, std::function<void()>>> held;
    QList<std::weak_ptr<MemoryClient>> clients;
    std::shared_ptr<Container> local;
    // While the database is gone: what it held, and whether its place is still empty.
    struct Contents {
        QString userRecordName;
        QMap<QString, Record> records;
        QMap<QString, Subscription> subscriptions;
    };
    std::optional<Contents> aside;
    bool empty = false;
    // Saves still to land whatever change tag they were made over.
    int landingOver = 0;

    void requireAvailable() const
    {
        if (status != AccountStatus::available)
            throw Error(Error::Code::notAuthenticated);
    }

    // The stored form of `record`: a new tag, a date, and its files copied here.
    Record stored(Record record, bool keepDate)
    {
        for (const QString& key : record.keys()) {
            const auto asset = record.asset(key);
            if (!asset)
                continue;
            QFile source(asset->filePath);
            if (!source.open(QIODevice::ReadOnly))
                throw Error(Error::Code::assetFileNotFound);
            const QString copy = assetFolder.filePath(QString::number(++assetCount) + u'-' + key);
            QFile target(copy);
            if (!target.open(QIODevice::WriteOnly) || target.write(source.readAll()) < 0)
                throw Error(Error::Code::internalError);
            record.setValue(key, Asset{copy});
        }
        const std::optional<QDateTime> date = keepDate && record.modificationDate()
                                                  ? record.modificationDate()
                                                  : serverTime.value_or(QDateTime::currentDateTimeUtc());
        record.setServerMetadata(rules::newChangeTag(), date);
        records.insert(record.recordName(), record);
        empty = false;
        return record;
    }

    void pushChange(const RecordChange& change, const QUuid& origin);
};

namespace {

using Server = MemoryCloud::Server;
using Call = MemoryCloud::Call;

class MemoryClient final : public Container, public std::enable_shared_from_this<MemoryClient> {
public:
    MemoryClient(std::shared_ptr<Server> server, QUuid id);

    QString containerIdentifier() const override { return server_->identifier; }
    std::shared_ptr<Database> privateCloudDatabase() override { return database_; }
    void accountStatus(Completion<AccountStatus> done) override;
    void fetchUserRecordID(Completion<QString> done) override;
    QString location() const override { return MemoryCloud::location; }
    void accountExists(Completion<bool> done) override;
    void registerForRemoteNotifications(Completion<QByteArray> done) override;

    bool isRegistered() const { return registered_; }
    const QUuid& id() const { return id_; }
    void push(const QVariantMap& dictionary) const { deliverPush(dictionary); }
    void writableAgain() const { deliverWritableAgain(); }

private:
    std::shared_ptr<Server> server_;
    QUuid id_;
    std::shared_ptr<Database> database_;
    bool registered_ = false;
};

// Counts the call, then runs it now or when released: a scripted outcome if one
// waits, else `operation`; the outcome goes to `done` on the main queue.
template <typename T>
void perform(const std::shared_ptr<Server>& server, Call call, const QString& description,
             std::function<T()> operation, Completion<T> done)
{
    ++server->counts[call];
    auto run = [server, call, operation = std::move(operation), done = std::move(done)] {
        std::optional<T> value;
        std::optional<Error> error;
        if (auto& script = server->scripts[call]; !script.isEmpty()) {
            error = script.takeFirst();
        } else {
            try {
                value = operation();
            } catch (const Error& e) {
                error = e;
            }
        }
        postToMain([done, value = std::move(value), error = std::move(error)] { done(value, error); });
    };
    if (server->holding)
        server->held.append({description, std::move(run)});
    else
        run();
}

void throwIf(const std::optional<Error>& error)
{
    if (error)
        throw *error;
}

std::optional<Error> unreadableAsset(const Record& record)
{
    for (const auto& value : record.fields())
        if (const auto* asset = std::get_if<Asset>(&value); asset && !QFile(asset->filePath).open(QIODevice::ReadOnly))
            return Error(Error::Code::assetFileNotFound);
    return std::nullopt;
}

class MemoryDatabase final : public Database {
public:
    MemoryDatabase(std::shared_ptr<Server> server, QUuid client) : server_(std::move(server)), client_(client) {}

    void fetchRecord(const QString& recordName, Completion<Record> done) override
    {
        perform<Record>(
            server_, Call::fetchRecord, QStringLiteral("fetchRecord ") + recordName,
            [s = server_.get(), recordName] {
                throwIf(rules::checkName(recordName, QStringLiteral("record name")));
                s->requireAvailable();
                if (!s->records.contains(recordName))
                    throw rules::unknownRecord(recordName);
                return s->records.value(recordName);
            },
            std::move(done));
    }

    void saveRecord(const Record& record, Completion<Record> done) override
    {
        perform<Record>(
            server_, Call::saveRecord, QStringLiteral("saveRecord ") + record.recordName(),
            [s = server_.get(), record, client = client_] {
                throwIf(rules::checkSavable(record));
                s->requireAvailable();
                throwIf(unreadableAsset(record));
                const auto it = s->records.constFind(record.recordName());
                const bool exists = it != s->records.cend();
                if (s->landingOver > 0)
                    --s->landingOver;
                else
                    throwIf(rules::checkChangeTag(exists ? std::optional(it->recordChangeTag()) : std::nullopt, record));
                Record saved = s->stored(record, false);
                s->pushChange({exists ? RecordChange::Kind::updated : RecordChange::Kind::created,
                               saved.recordType(), saved.recordName()},
                              client);
                return saved;
            },
            std::move(done));
    }

    qint64 maxRecordBytes() const override { return server_->maxRecordBytes; }

    void fetchSubscription(const QString& subscriptionID, Completion<Subscription> done) override
    {
        perform<Subscription>(
            server_, Call::fetchSubscription, QStringLiteral("fetchSubscription ") + subscriptionID,
            [s = server_.get(), subscriptionID] {
                throwIf(rules::checkName(subscriptionID, QStringLiteral("subscription id")));
                s->requireAvailable();
                if (!s->subscriptions.contains(subscriptionID))
                    throw rules::unknownSubscription(subscriptionID);
                return s->subscriptions.value(subscriptionID);
            },
            std::move(done));
    }

    void saveSubscription(const Subscription& subscription, Completion<Subscription> done) override
    {
        perform<Subscription>(
            server_, Call::saveSubscription, QStringLiteral("saveSubscription ") + subscription.subscriptionID,
            [s = server_.get(), subscription] {
                throwIf(rules::checkSavable(subscription));
                s->requireAvailable();
                s->subscriptions.insert(subscription.subscriptionID, subscription);
                s->empty = false;
                return subscription;
            },
            std::move(done));
    }

    void deleteSubscription(const QString& subscriptionID, Completion<QString> done) override
    {
        perform<QString>(
            server_, Call::deleteSubscription, QStringLiteral("deleteSubscription ") + subscriptionID,
            [s = server_.get(), subscriptionID] {
                throwIf(rules::checkName(subscriptionID, QStringLiteral("subscription id")));
                s->requireAvailable();
                if (s->subscriptions.remove(subscriptionID) == 0)
                    throw rules::unknownSubscription(subscriptionID);
                return subscriptionID;
            },
            std::move(done));
    }

    void fetchAllSubscriptions(Completion<QList<Subscription>> done) override
    {
        perform<QList<Subscription>>(
            server_, Call::fetchAllSubscriptions, QStringLiteral("fetchAllSubscriptions"),
            [s = server_.get()] {
                s->requireAvailable();
                return s->subscriptions.values(); // ordered by id
            },
            std::move(done));
    }

private:
    std::shared_ptr<Server> server_;
    QUuid client_;
};

MemoryClient::MemoryClient(std::shared_ptr<Server> server, QUuid id)
    : server_(std::move(server)), id_(id), database_(std::make_shared<MemoryDatabase>(server_, id_))
{
}

void MemoryClient::accountStatus(Completion<AccountStatus> done)
{
    perform<AccountStatus>(
        server_, Call::accountStatus, QStringLiteral("accountStatus"), [s = server_.get()] { return s->status; },
        std::move(done));
}

void MemoryClient::accountExists(Completion<bool> done)
{
    perform<bool>(
        server_, Call::accountExists, QStringLiteral("accountExists"), [s = server_.get()] { return !s->empty; },
        std::move(done));
}

void MemoryClient::fetchUserRecordID(Completion<QString> done)
{
    perform<QString>(
        server_, Call::fetchUserRecordID, QStringLiteral("fetchUserRecordID"),
        [s = server_.get()] {
            s->requireAvailable();
            s->empty = false; // the account is made by the first client that asks
            return s->userRecordName;
        },
        std::move(done));
}

void MemoryClient::registerForRemoteNotifications(Completion<QByteArray> done)
{
    perform<QByteArray>(
        server_, Call::registerForRemoteNotifications, QStringLiteral("registerForRemoteNotifications"),
        [weak = weak_from_this(), token = id_.toRfc4122()] {
            if (const auto self = weak.lock())
                self->registered_ = true;
            return token;
        },
        std::move(done));
}

} // namespace

void MemoryCloud::Server::pushChange(const RecordChange& change, const QUuid& origin)
{
    for (const auto& weak : std::as_const(clients)) {
        const auto client = weak.lock();
        if (!client || client->id() == origin || !client->isRegistered())
            continue;
        for (const Subscription& subscription : std::as_const(subscriptions)) {
            if (!fires(subscription, change))
                continue;
            const QVariantMap push = Notification::forChange(subscription, change, identifier).toRemoteNotificationDictionary();
            postToMain([weak, push] {
                if (const auto c = weak.lock())
                    c->push(push);
            });
        }
    }
}

MemoryCloud::MemoryCloud(QString containerIdentifier) : server_(std::make_shared<Server>())
{
    server_->identifier = std::move(containerIdentifier);
}

MemoryCloud::~MemoryCloud()
{
    // Held calls and the local client keep the server alive; let them go.
    server_->held.clear();
    server_->local.reset();
}

std::shared_ptr<Container> MemoryCloud::makeClient()
{
    auto client = std::make_shared<MemoryClient>(server_, QUuid::createUuid());
    server_->clients.append(client);
    return client;
}

std::shared_ptr<Container> MemoryCloud::localClient()
{
    if (!server_->local)
        server_->local = makeClient();
    return server_->local;
}

Container::Factory MemoryCloud::factory()
{
    return [this](const QString&) { return localClient(); };
}

void MemoryCloud::setAccountStatus(AccountStatus status) { server_->status = status; }

void MemoryCloud::announceWritableAgain()
{
    for (const auto& weak : std::as_const(server_->clients)) {
        postToMain([weak] {
            if (const auto client = weak.lock())
                client->writableAgain();
        });
    }
}

void MemoryCloud::setUserRecordName(QString name) { server_->userRecordName = std::move(name); }

void MemoryCloud::setDatabaseGone(bool gone)
{
    Server& s = *server_;
    if (gone && !s.aside) {
        s.aside = Server::Contents{std::exchange(s.userRecordName, u'_' + QUuid::createUuid().toString(QUuid::Id128)),
                                   std::exchange(s.records, {}), std::exchange(s.subscriptions, {})};
        s.empty = true;
    } else if (!gone && s.aside) {
        s.userRecordName = std::move(s.aside->userRecordName);
        s.records = std::move(s.aside->records);
        s.subscriptions = std::move(s.aside->subscriptions);
        s.aside.reset();
        s.empty = false;
    }
}

bool MemoryCloud::hasDatabase() const { return !server_->empty; }

void MemoryCloud::setServerTime(std::optional<QDateTime> time) { server_->serverTime = std::move(time); }

void MemoryCloud::setMaxRecordBytes(qint64 bytes) { server_->maxRecordBytes = bytes; }

std::optional<Record> MemoryCloud::storedRecord(const QString& recordName) const
{
    const auto it = server_->records.constFind(recordName);
    return it == server_->records.cend() ? std::nullopt : std::optional(*it);
}

Record MemoryCloud::putRecord(Record record) { return server_->stored(std::move(record), true); }

void MemoryCloud::putBack(const Record& copy)
{
    server_->records.insert(copy.recordName(), copy);
    server_->empty = false;
}

void MemoryCloud::landNextSavesOver(int count) { server_->landingOver = count; }

QList<Subscription> MemoryCloud::storedSubscriptions() const { return server_->subscriptions.values(); }

void MemoryCloud::putSubscription(const Subscription& subscription)
{
    server_->subscriptions.insert(subscription.subscriptionID, subscription);
    server_->empty = false;
}

void MemoryCloud::failNext(Call call, Error error) { server_->scripts[call].append(std::move(error)); }

void MemoryCloud::answerNothingNext(Call call) { server_->scripts[call].append(std::nullopt); }

int MemoryCloud::callCount(Call call) const
{
    const auto it = server_->counts.find(call);
    return it == server_->counts.end() ? 0 : it->second;
}

void MemoryCloud::setHolding(bool holding) { server_->holding = holding; }

QStringList MemoryCloud::heldCalls() const
{
    QStringList names;
    for (const auto& [name, run] : server_->held)
        names.append(name);
    return names;
}

void MemoryCloud::release(int index)
{
    if (index < 0 || index >= server_->held.size())
        return;
    const auto run = server_->held.takeAt(index).second;
    run();
}

void MemoryCloud::releaseAll()
{
    while (!server_->held.isEmpty())
        release(0);
}

} // namespace velmor::cloud
