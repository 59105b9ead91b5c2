// One contract for both cloud databases: the folder database and the memory one.
#include "CloudTestSupport.h"
#include "platform/cloud/folder/FolderContainer.h"
#include "platform/cloud/memory/MemoryCloud.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimeZone>

#include <algorithm>

#include <limits>

using namespace velmor;
using namespace velmor::cloud;
using namespace velmor::test;
using namespace std::chrono_literals;
using Code = Error::Code;

namespace {

struct FolderBackend {
    QTemporaryDir folder;
    std::shared_ptr<Container> makeClient()
    {
        return FolderContainer::create("iCloud.Velmor", {folder.path(), true}, {QUuid::createUuid()});
    }
};

struct MemoryBackend {
    MemoryCloud cloud;
    std::shared_ptr<Container> makeClient() { return cloud.makeClient(); }
};

template <typename Backend>
class CloudContract : public PlatformFixture {
protected:
    CloudContract() : a(backend.makeClient()), b(backend.makeClient()), db(*a->privateCloudDatabase()),
                      otherDb(*b->privateCloudDatabase())
    {
    }

    Outcome<Record> save(Database& database, const Record& record) { return test::save(*queue, database, record); }
    Outcome<Record> fetch(Database& database, const QString& name) { return test::fetch(*queue, database, name); }
    void registerForPushes(Container& container)
    {
        EXPECT_TRUE(complete<QByteArray>(*queue, [&](auto done) {
                        container.registerForRemoteNotifications(std::move(done));
                    }).value);
    }
    void saveSubscription(const Subscription& subscription)
    {
        EXPECT_TRUE(complete<Subscription>(*queue, [&](auto done) {
                        db.saveSubscription(subscription, std::move(done));
                    }).value);
    }
    // Long enough for every database to have told its clients.
    void letPushesArrive() { queue->advance(30s); }

    Backend backend;
    std::shared_ptr<Container> a;
    std::shared_ptr<Container> b;
    Database& db;
    Database& otherDb;
};

using Backends = ::testing::Types<FolderBackend, MemoryBackend>;
TYPED_TEST_SUITE(CloudContract, Backends);

Record profiles(const QByteArray& payload)
{
    Record record("VelmorProfiles", "profiles");
    record.setValue("payload", payload);
    return record;
}

TYPED_TEST(CloudContract, RecordsKeepEveryKindOfFieldAndCopyTheirFiles)
{
    QTemporaryDir files;
    const QString source = files.filePath("icon.svg");
    writeFile(source, "<svg/>\n");
    Record record("VelmorIcon", "gear");
    record.setValue("bytes", QByteArray("\0\xff payload", 10));
    record.setValue("updatedAt", QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, QTimeZone::utc()));
    record.setValue("max", std::numeric_limits<qint64>::max());
    record.setValue("min", std::numeric_limits<qint64>::min());
    record.setValue("svgAsset", Asset{source});

    Outcome<Record> saved = this->save(this->db, record);
    ASSERT_TRUE(saved.value) << saved.error->what();
    EXPECT_FALSE(saved.value->recordChangeTag().isEmpty());
    EXPECT_TRUE(saved.value->modificationDate().has_value());

    // The stored file is the database's own copy: changing the source changes nothing.
    writeFile(source, "changed");
    const Outcome<Record> fetched = this->fetch(this->otherDb, "gear");
    ASSERT_TRUE(fetched.value);
    // A fetched file is a copy of its own, wherever the saved one lies; the rest is equal.
    const auto withoutFiles = [](Record kept) {
        kept.setValue("svgAsset", Asset{});
        return kept;
    };
    EXPECT_EQ(withoutFiles(*fetched.value), withoutFiles(*saved.value));
    EXPECT_EQ(readFile(fetched.value->asset("svgAsset")->filePath), readFile(saved.value->asset("svgAsset")->filePath));
    EXPECT_EQ(fetched.value->recordType(), "VelmorIcon");
    EXPECT_EQ(fetched.value->bytes("bytes"), QByteArray("\0\xff payload", 10));
    EXPECT_EQ(fetched.value->date("updatedAt")->toMSecsSinceEpoch(), 1'700'000'000'123);
    EXPECT_EQ(fetched.value->integer("max"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(fetched.value->integer("min"), std::numeric_limits<qint64>::min());
    EXPECT_FALSE(fetched.value->bytes("max").has_value()) << "fields are read as the kind they hold";
    const QString copy = fetched.value->asset("svgAsset")->filePath;
    EXPECT_NE(copy, source);
    EXPECT_EQ(readFile(copy), "<svg/>\n");

    // A file that cannot be read fails the save and stores nothing.
    record = Record("VelmorIcon", "missing");
    record.setValue("svgAsset", Asset{files.filePath("nothing.svg")});
    EXPECT_EQ(this->save(this->db, record).code(), Code::assetFileNotFound);
    EXPECT_EQ(this->fetch(this->db, "missing").code(), Code::unknownItem);
}

TYPED_TEST(CloudContract, ASaveNeedsTheStoredChangeTag)
{
    EXPECT_EQ(this->fetch(this->db, "profiles").code(), Code::unknownItem);
    const Record first = *this->save(this->db, profiles("first")).value;

    // Both clients hold the first version; the first to save wins.
    Record mine = *this->fetch(this->db, "profiles").value;
    Record theirs = *this->fetch(this->otherDb, "profiles").value;
    theirs.setValue("payload", QByteArray("theirs"));
    const Record second = *this->save(this->otherDb, theirs).value;
    EXPECT_NE(second.recordChangeTag(), first.recordChangeTag());

    mine.setValue("payload", QByteArray("mine"));
    EXPECT_EQ(this->save(this->db, mine).code(), Code::serverRecordChanged);
    // A new record may not replace a stored one either.
    EXPECT_EQ(this->save(this->db, profiles("new")).code(), Code::serverRecordChanged);
    EXPECT_EQ(*this->fetch(this->db, "profiles").value, second);

    // Saving on top of what is stored goes through.
    Record latest = *this->fetch(this->db, "profiles").value;
    latest.setValue("payload", QByteArray("mine again"));
    EXPECT_EQ(this->save(this->db, latest).value->bytes("payload"), "mine again");
}

TYPED_TEST(CloudContract, NamesThatAreNotPlainFileNamesAreRefused)
{
    for (const QString& name : QStringList{"", ".", "..", "../profiles", "a/b", "a\\b", ".hidden", "a\nb"}) {
        EXPECT_EQ(this->save(this->db, Record("VelmorIcon", name)).code(), Code::invalidArguments) << name.toStdString();
        EXPECT_EQ(this->fetch(this->db, name).code(), Code::invalidArguments) << name.toStdString();
        const auto subscription = complete<Subscription>(*this->queue, [&](auto done) {
            this->db.saveSubscription(Subscription::database(name), std::move(done));
        });
        EXPECT_EQ(subscription.code(), Code::invalidArguments) << name.toStdString();
    }
    QTemporaryDir files;
    writeFile(files.filePath("x"), "x");
    Record record("VelmorIcon", "gear");
    record.setValue("../svgAsset", Asset{files.filePath("x")});
    EXPECT_EQ(this->save(this->db, record).code(), Code::invalidArguments);
    EXPECT_EQ(this->save(this->db, Record("", "typeless")).code(), Code::invalidArguments);
}

TYPED_TEST(CloudContract, SubscriptionsAreSavedListedReplacedAndDeleted)
{
    auto query = Subscription::query("q", "VelmorProfiles", Subscription::truePredicate,
                                     Subscription::Option::firesOnRecordCreation | Subscription::Option::firesOnRecordUpdate);
    query.notificationInfo = NotificationInfo{true, "Velmor updated"};
    this->saveSubscription(query);
    this->saveSubscription(Subscription::database("d"));
    this->saveSubscription(Subscription::recordZone("z"));
    auto replaced = Subscription::database("d");
    replaced.notificationInfo = NotificationInfo{false, std::nullopt};
    this->saveSubscription(replaced);

    const auto all = complete<QList<Subscription>>(
        *this->queue, [&](auto done) { this->otherDb.fetchAllSubscriptions(std::move(done)); });
    ASSERT_TRUE(all.value);
    EXPECT_EQ(*all.value, (QList<Subscription>{replaced, query, Subscription::recordZone("z")}));

    const auto fetchQ = [&] {
        return complete<Subscription>(*this->queue, [&](auto done) { this->db.fetchSubscription("q", std::move(done)); });
    };
    const auto deleteQ = [&] {
        return complete<QString>(*this->queue, [&](auto done) { this->db.deleteSubscription("q", std::move(done)); });
    };
    EXPECT_EQ(fetchQ().value, query);
    EXPECT_EQ(deleteQ().value, "q");
    EXPECT_EQ(deleteQ().code(), Code::unknownItem);
    EXPECT_EQ(fetchQ().code(), Code::unknownItem);
}

TYPED_TEST(CloudContract, ClientsShareOneAccountWithTokensOfTheirOwn)
{
    const auto status = complete<AccountStatus>(*this->queue, [&](auto done) { this->a->accountStatus(std::move(done)); });
    EXPECT_EQ(status.value, AccountStatus::available);

    const auto userA = complete<QString>(*this->queue, [&](auto done) { this->a->fetchUserRecordID(std::move(done)); });
    const auto userB = complete<QString>(*this->queue, [&](auto done) { this->b->fetchUserRecordID(std::move(done)); });
    ASSERT_TRUE(userA.value);
    EXPECT_FALSE(userA.value->isEmpty());
    EXPECT_EQ(userA.value, userB.value);

    const auto tokenA = complete<QByteArray>(*this->queue, [&](auto done) {
        this->a->registerForRemoteNotifications(std::move(done));
    });
    const auto tokenB = complete<QByteArray>(*this->queue, [&](auto done) {
        this->b->registerForRemoteNotifications(std::move(done));
    });
    ASSERT_TRUE(tokenA.value && tokenB.value);
    EXPECT_EQ(tokenA.value->size(), 16);
    EXPECT_NE(tokenA.value, tokenB.value);
}

TYPED_TEST(CloudContract, CompletionsComeLaterOnTheMainQueueExactlyOnce)
{
    Outcome<Record> saved;
    Outcome<Record> missing;
    this->db.saveRecord(profiles("x"), into(saved));
    this->db.fetchRecord("nothing", into(missing));
    EXPECT_EQ(saved.completions + missing.completions, 0);
    this->queue->runUntilIdle();
    EXPECT_EQ(saved.completions, 1);
    EXPECT_EQ(missing.completions, 1);
    this->letPushesArrive();
    EXPECT_EQ(saved.completions, 1);
}

TYPED_TEST(CloudContract, AChangeIsPushedToEveryOtherClientOncePerSubscriptionItSetsOff)
{
    const auto created = Subscription::query("created", "VelmorProfiles", Subscription::truePredicate,
                                             Subscription::Option::firesOnRecordCreation);
    auto database = Subscription::database("everything");
    database.notificationInfo = NotificationInfo{true, "Velmor updated"};
    this->saveSubscription(created);
    this->saveSubscription(database);
    this->saveSubscription(Subscription::query("icons", "VelmorIcon", Subscription::truePredicate,
                                               Subscription::Option::firesOnRecordCreation));
    this->saveSubscription(Subscription::query("someIcons", "VelmorProfiles", "name == 'x'",
                                               Subscription::Option::firesOnRecordCreation));

    const auto c = this->backend.makeClient();
    const auto silent = this->backend.makeClient(); // never registers
    PushLog atA(*this->a), atB(*this->b), atC(*c), atSilent(*silent);
    this->registerForPushes(*this->a);
    this->registerForPushes(*this->b);
    this->registerForPushes(*c);

    Record record = *this->save(this->db, profiles("1")).value;
    this->letPushesArrive();
    EXPECT_TRUE(atA.received.isEmpty()) << "the writer hears nothing of its own change";
    EXPECT_TRUE(atSilent.received.isEmpty());
    for (const PushLog* log : {&atB, &atC}) {
        ASSERT_EQ(log->received.size(), 2);
        QList<QString> ids;
        for (const Notification& n : log->received) {
            ids.append(*n.subscriptionID);
            EXPECT_EQ(n.containerIdentifier, "iCloud.Velmor");
            EXPECT_EQ(n.type, n.subscriptionID == "created" ? Notification::Type::query : Notification::Type::database);
        }
        std::sort(ids.begin(), ids.end());
        EXPECT_EQ(ids, (QList<QString>{"created", "everything"}));
    }
    const Notification& fromDatabase = atB.received.at(atB.received.at(0).subscriptionID == "everything" ? 0 : 1);
    EXPECT_TRUE(fromDatabase.contentAvailable);
    EXPECT_EQ(fromDatabase.alertBody, "Velmor updated");

    // An update sets off only the database subscription; and it goes the other way too.
    atA.received.clear();
    atB.received.clear();
    record = *this->fetch(this->otherDb, "profiles").value;
    record.setValue("payload", QByteArray("2"));
    ASSERT_TRUE(this->save(this->otherDb, record).value);
    this->letPushesArrive();
    ASSERT_EQ(atA.received.size(), 1);
    EXPECT_EQ(atA.received.at(0).subscriptionID, "everything");
    EXPECT_TRUE(atB.received.isEmpty());

    // A refused save changes nothing and pushes nothing.
    atA.received.clear();
    EXPECT_EQ(this->save(this->otherDb, profiles("stale")).code(), Code::serverRecordChanged);
    this->letPushesArrive();
    EXPECT_TRUE(atA.received.isEmpty());
}

} // namespace
