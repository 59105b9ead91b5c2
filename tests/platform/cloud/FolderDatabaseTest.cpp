#include "CloudTestSupport.h"
#include "platform/Json.h"
#include "platform/Settings.h"
#include "platform/cloud/folder/FolderContainer.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <algorithm>

using namespace velmor;
using namespace velmor::cloud;
using namespace velmor::test;
using namespace std::chrono_literals;
using Code = Error::Code;

namespace {

class FolderDatabase : public PlatformFixture {
protected:
    std::shared_ptr<FolderContainer> client(const QUuid& id = QUuid::createUuid())
    {
        return FolderContainer::create("iCloud.Velmor", {folder(), true}, {id});
    }
    QString folder() const { return supportPath("share"); }
    QString file(const QString& relative) const { return folder() + '/' + relative; }
    void put(const QString& relative, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(file(relative)).absolutePath());
        writeFile(file(relative), bytes);
    }

    Outcome<Record> save(Container& c, const Record& record)
    {
        return test::save(*queue, *c.privateCloudDatabase(), record);
    }
    Outcome<Record> fetch(Container& c, const QString& name)
    {
        return test::fetch(*queue, *c.privateCloudDatabase(), name);
    }
    AccountStatus status(Container& c)
    {
        return *complete<AccountStatus>(*queue, [&](auto done) { c.accountStatus(std::move(done)); }).value;
    }
    void subscribeToEverything(Container& c)
    {
        complete<Subscription>(*queue, [&](auto done) {
            c.privateCloudDatabase()->saveSubscription(Subscription::database("everything"), std::move(done));
        });
        complete<QByteArray>(*queue, [&](auto done) { c.registerForRemoteNotifications(std::move(done)); });
    }

    void SetUp() override { QDir().mkpath(folder()); }
};

TEST_F(FolderDatabase, RecordFilesKeepTheirFormat)
{
    const QUuid id("{0f8fad5b-d9cb-469f-a165-70867728950e}");
    const auto c = client(id);
    writeFile(supportPath("icon.svg"), "<svg/>");
    Record record("VelmorIcon", "gear");
    record.setValue("payload", QByteArray("hi"));
    record.setValue("updatedAt", QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, QTimeZone::utc()));
    record.setValue("schemaVersion", qint64{9'007'199'254'740'993}); // not exact as a JSON number
    record.setValue("svgAsset", Asset{supportPath("icon.svg")});
    const Record saved = *save(*c, record).value;

    const QJsonObject root = QJsonDocument::fromJson(readFile(file("records/gear.json"))).object();
    const QString tag = saved.recordChangeTag();
    EXPECT_EQ(root.value("recordType"), "VelmorIcon");
    EXPECT_EQ(root.value("recordName"), "gear");
    EXPECT_EQ(root.value("recordChangeTag"), tag);
    EXPECT_EQ(root.value("modifiedBy"), "0F8FAD5B-D9CB-469F-A165-70867728950E");
    EXPECT_EQ(root.value("modificationDate"), saved.modificationDate()->toString(Qt::ISODateWithMs));
    const QJsonObject fields = root.value("fields").toObject();
    EXPECT_EQ(fields.value("payload"), QJsonObject({{"bytes", "aGk="}}));
    EXPECT_EQ(fields.value("updatedAt"), QJsonObject({{"date", "2023-11-14T22:13:20.123Z"}}));
    EXPECT_EQ(fields.value("schemaVersion"), QJsonObject({{"int64", "9007199254740993"}}));
    EXPECT_EQ(fields.value("svgAsset"), QJsonObject({{"asset", tag + ".svgAsset"}}));
    EXPECT_EQ(readFile(file("assets/gear/" + tag + ".svgAsset")), "<svg/>");
    EXPECT_EQ(saved.asset("svgAsset")->filePath, file("assets/gear/" + tag + ".svgAsset"));

    // A file written by another client (or by hand) in the same form reads back.
    put("records/other.json", R"({"recordType": "T", "recordName": "other", "recordChangeTag": "7",
        "fields": {"n": {"int64": "-5"}, "d": {"date": "2024-01-02T03:04:05.006Z"}}})");
    const Record other = *fetch(*c, "other").value;
    EXPECT_EQ(other.recordChangeTag(), "7");
    EXPECT_FALSE(other.modificationDate().has_value());
    EXPECT_EQ(other.integer("n"), -5);
    EXPECT_EQ(other.date("d")->toMSecsSinceEpoch(), 1'704'164'645'006);
}

// A client does not read the record it last wrote again to save over it, yet a
// file another client (or a hand) put there since is read and its tag decides.
TEST_F(FolderDatabase, SavesKnowTheirOwnRecordButSeeEveryOtherVersion)
{
    const auto a = client();
    const auto b = client();
    Record record("VelmorProfiles", "profiles");
    record.setValue("payload", QByteArray(100'000, 'x'));
    Record mine = *save(*a, record).value;
    for (int i = 0; i < 3; ++i) {
        mine.setValue("payload", QByteArray(100'000, char('a' + i)));
        mine = *save(*a, mine).value;
    }
    EXPECT_EQ(fetch(*b, "profiles").value->bytes("payload"), QByteArray(100'000, 'c'));

    // The other client's save replaces the file: the first one's tag is stale now.
    Record theirs = *fetch(*b, "profiles").value;
    theirs.setValue("payload", QByteArray("theirs"));
    ASSERT_TRUE(save(*b, theirs).value);
    mine.setValue("payload", QByteArray("mine"));
    const Outcome<Record> refused = save(*a, mine);
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->code(), Error::Code::serverRecordChanged);

    // The same by hand, in place, with the same size and the first client's tag.
    Record again = *fetch(*a, "profiles").value;
    again = *save(*a, again).value;
    QByteArray text = readFile(file("records/profiles.json"));
    text.replace(again.recordChangeTag().toLatin1(), QByteArray(again.recordChangeTag().size(), '0'));
    QFile edited(file("records/profiles.json"));
    ASSERT_TRUE(edited.open(QIODevice::ReadWrite));
    edited.write(text);
    edited.close();
    ASSERT_TRUE(save(*a, again).error);
}

TEST_F(FolderDatabase, DamagedFilesAreReportedAndNeverOverwrittenUnseen)
{
    const auto c = client();
    const QByteArray damaged = R"({"recordType": "VelmorProfiles", "recordName": "prof)";
    put("records/profiles.json", damaged);
    put("records/elsewhere.json", R"({"recordType": "T", "recordName": "profiles", "recordChangeTag": "1", "fields": {}})");
    put("records/escape.json", R"({"recordType": "T", "recordName": "escape", "recordChangeTag": "1",
        "fields": {"a": {"asset": "../../account.json"}}})");
    for (const QString name : {"profiles", "elsewhere", "escape"}) {
        const Outcome<Record> outcome = fetch(*c, name);
        EXPECT_EQ(outcome.code(), Code::internalError) << name.toStdString();
        EXPECT_TRUE(outcome.error->localizedDescription().contains("damaged"));
    }
    EXPECT_EQ(readFile(file("records/profiles.json")), damaged);

    // A save puts a new record in its place and keeps the damaged one aside.
    Record record("VelmorProfiles", "profiles");
    record.setValue("payload", QByteArray("new"));
    ASSERT_TRUE(save(*c, record).value);
    EXPECT_EQ(fetch(*c, "profiles").value->bytes("payload"), "new");
    EXPECT_EQ(readFile(file("records/profiles.json.damaged")), damaged);

    // Subscriptions are the clients' own to remake: a damaged one counts as absent.
    put("subscriptions/s.json", "{");
    const auto subscription = complete<Subscription>(*queue, [&](auto done) {
        c->privateCloudDatabase()->fetchSubscription("s", std::move(done));
    });
    EXPECT_EQ(subscription.code(), Code::unknownItem);
    const auto all = complete<QList<Subscription>>(*queue, [&](auto done) {
        c->privateCloudDatabase()->fetchAllSubscriptions(std::move(done));
    });
    EXPECT_EQ(all.value, QList<Subscription>{});
}

TEST_F(FolderDatabase, OnlyTheDefaultFolderIsCreatedWhenMissing)
{
    const auto unmounted = FolderContainer::create("iCloud.Velmor", {supportPath("share/missing"), true});
    EXPECT_EQ(status(*unmounted), AccountStatus::noAccount);
    EXPECT_EQ(fetch(*unmounted, "profiles").code(), Code::notAuthenticated);
    EXPECT_EQ(complete<QString>(*queue, [&](auto done) { unmounted->fetchUserRecordID(std::move(done)); }).code(),
              Code::notAuthenticated);
    EXPECT_FALSE(QFileInfo::exists(supportPath("share/missing")));
    QDir().mkpath(supportPath("share/missing"));
    EXPECT_EQ(status(*unmounted), AccountStatus::available);

    const auto local = FolderContainer::create("iCloud.Velmor", FolderLocation::forContainer("iCloud.Velmor"));
    EXPECT_EQ(local->folderPath(), supportPath("CloudKit/iCloud.Velmor"));
    EXPECT_EQ(status(*local), AccountStatus::available);
    EXPECT_TRUE(QFileInfo(local->folderPath()).isDir());

    // A file where the folder should be is no missing account: every call says what is wrong.
    writeFile(supportPath("share/file"), "not a folder");
    const auto misplaced = FolderContainer::create("iCloud.Velmor", {supportPath("share/file"), true});
    const QString notAFolder = "The cloud folder “" + supportPath("share/file") + "” is not a folder. Sync is paused.";
    const auto misplacedStatus =
        complete<AccountStatus>(*queue, [&](auto done) { misplaced->accountStatus(std::move(done)); });
    ASSERT_TRUE(misplacedStatus.error);
    EXPECT_EQ(misplacedStatus.error->localizedDescription(), notAFolder);
    EXPECT_EQ(fetch(*misplaced, "profiles").error->localizedDescription(), notAFolder);
}

// Whether the folder holds a database is looked at without writing: an empty folder
// holds none until a client asks for the user record id; records alone count; the
// default folder, which Velmor makes itself, always holds one.
TEST_F(FolderDatabase, AnEmptyFolderHoldsNoDatabaseUntilOneIsSetUp)
{
    const auto exists = [this](Container& container) {
        return complete<bool>(*queue, [&](auto done) { container.accountExists(std::move(done)); }).value;
    };
    const auto c = client();
    EXPECT_EQ(c->location(), folder());
    EXPECT_EQ(exists(*c), false);
    EXPECT_EQ(QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList{});
    complete<QString>(*queue, [&](auto done) { c->fetchUserRecordID(std::move(done)); });
    EXPECT_EQ(exists(*c), true);
    ASSERT_TRUE(QFile::remove(file("account.json")));
    EXPECT_EQ(exists(*c), false);
    put("records/other.json", "{}");
    EXPECT_EQ(exists(*c), true);
    ASSERT_TRUE(QDir(folder()).removeRecursively());
    EXPECT_EQ(exists(*c), false);

    const auto ownFolder = FolderContainer::create("iCloud.Velmor", {supportPath("own"), false}, {QUuid::createUuid()});
    EXPECT_EQ(exists(*ownFolder), true);
}

TEST_F(FolderDatabase, TheEnvironmentVariableWinsOverTheSetting)
{
    const QByteArray saved = qgetenv("VELMOR_CLOUD_FOLDER");
    qunsetenv("VELMOR_CLOUD_FOLDER");
    settings->setValue("Velmor.cloudFolder", "/mnt/share/velmor/");
    EXPECT_EQ(FolderLocation::forContainer("iCloud.Velmor").path, "/mnt/share/velmor");
    EXPECT_TRUE(FolderLocation::forContainer("iCloud.Velmor").configured);
    qputenv("VELMOR_CLOUD_FOLDER", "/net/home/velmor");
    EXPECT_EQ(FolderLocation::forContainer("iCloud.Velmor").path, "/net/home/velmor");
    qunsetenv("VELMOR_CLOUD_FOLDER");
    settings->remove("Velmor.cloudFolder");
    EXPECT_FALSE(FolderLocation::forContainer("iCloud.Velmor").configured);
    EXPECT_EQ(FolderLocation::forContainer("../x").path, QString()) << "an identifier is never a path";
    if (!saved.isEmpty())
        qputenv("VELMOR_CLOUD_FOLDER", saved);
}

TEST_F(FolderDatabase, OthersChangesArriveAtTheNextLookAndOnlyThose)
{
    const auto writer = client();
    const auto reader = client();
    Record record("VelmorProfiles", "before");
    ASSERT_TRUE(save(*writer, record).value);
    subscribeToEverything(*reader);
    PushLog pushes(*reader);
    queue->advance(30s);
    EXPECT_TRUE(pushes.received.isEmpty()) << "what was there at registration is no change";

    ASSERT_TRUE(save(*writer, Record("VelmorProfiles", "profiles")).value);
    queue->advance(29s);
    EXPECT_TRUE(pushes.received.isEmpty());
    reader->checkForChanges(); // "Sync Now" looks at once
    queue->runUntilIdle();
    ASSERT_EQ(pushes.received.size(), 1);
    queue->advance(30s);
    EXPECT_EQ(pushes.received.size(), 1) << "each change is pushed once";

    // A record removed from the folder is a change too.
    QFile::remove(file("records/before.json"));
    reader->checkForChanges();
    queue->runUntilIdle();
    EXPECT_EQ(pushes.received.size(), 2);
}

// A look reads the subscriptions only when a record changed; one that cannot
// read them keeps the change for a later look instead of losing it.
TEST_F(FolderDatabase, AChangeSeenWhileTheSubscriptionsCannotBeReadIsPushedLater)
{
    const auto writer = client();
    const auto reader = client();
    subscribeToEverything(*reader);
    PushLog pushes(*reader);
    ASSERT_TRUE(save(*writer, Record("VelmorProfiles", "profiles")).value);
    ASSERT_TRUE(QDir().rename(file("subscriptions"), file("subscriptions.away")));
    put("subscriptions", "not a folder");
    reader->checkForChanges();
    queue->runUntilIdle();
    EXPECT_TRUE(pushes.received.isEmpty());

    ASSERT_TRUE(QFile::remove(file("subscriptions")));
    ASSERT_TRUE(QDir().rename(file("subscriptions.away"), file("subscriptions")));
    reader->checkForChanges();
    queue->runUntilIdle();
    EXPECT_EQ(pushes.received.size(), 1);
}

// Every look reads the whole folder: a burst of reports from the folder watch (a
// share bringing thousands of files at once) costs one look, not one per report.
// A look pushes once to each subscription its changes set off, whatever their number.
TEST_F(FolderDatabase, ABurstOfFolderReportsCostsOneLook)
{
    const auto writer = client();
    const auto reader = client();
    complete<Subscription>(*queue, [&](auto done) {
        reader->privateCloudDatabase()->saveSubscription(
            Subscription::query("icons", "VelmorIcon", Subscription::truePredicate,
                                Subscription::Option::firesOnRecordCreation),
            std::move(done));
    });
    subscribeToEverything(*reader);
    PushLog log(*reader);
    struct {
        const PushLog& log;
        qsizetype size(const char* subscription = "icons") const
        {
            return std::count_if(log.received.cbegin(), log.received.cend(),
                                 [&](const Notification& n) { return n.subscriptionID == subscription; });
        }
    } pushes{log};
    const int before = reader->scanCount();
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(save(*writer, Record("VelmorIcon", QString("icon%1").arg(i))).value);
        reader->folderChanged();
    }
    queue->advance(299ms);
    EXPECT_EQ(reader->scanCount(), before);
    queue->advance(1ms);
    EXPECT_EQ(reader->scanCount(), before + 1);
    EXPECT_EQ(pushes.size(), 1) << "200 changes, one push";
    EXPECT_EQ(pushes.size("everything"), 1);

    // Reports that keep coming: one look per interval at most, and the last ones seen.
    for (int i = 0; i < 30; ++i) {
        ASSERT_TRUE(save(*writer, Record("VelmorIcon", QString("late%1").arg(i))).value);
        reader->folderChanged();
        queue->advance(100ms);
    }
    queue->advance(300ms);
    EXPECT_EQ(reader->scanCount(), before + 11);
    EXPECT_EQ(pushes.size(), 11) << "one per look, as the database subscription";
    EXPECT_EQ(pushes.size("everything"), 11);

    // Sync Now and the poll while a look waits on the file queue: that look serves them.
    ManualSerialQueue* files = serialQueues.find("com.velmor.cloud");
    ASSERT_NE(files, nullptr);
    files->setStepwise(true);
    reader->checkForChanges();
    reader->checkForChanges();
    queue->advance(30s);
    EXPECT_EQ(files->pendingCount(), 2u) << "one look, and the poll's check that the folder takes writes";
    files->setStepwise(false);
    EXPECT_EQ(reader->scanCount(), before + 12);
}

TEST_F(FolderDatabase, AShareThatAppearsLaterPushesWhatItHolds)
{
    const QString later = supportPath("later");
    const auto reader = FolderContainer::create("iCloud.Velmor", {later, true}, {QUuid::createUuid()});
    PushLog pushes(*reader);
    complete<QByteArray>(*queue, [&](auto done) { reader->registerForRemoteNotifications(std::move(done)); });
    queue->advance(30s);

    QDir().mkpath(later); // mounted, with another machine's records
    const auto other = FolderContainer::create("iCloud.Velmor", {later, true}, {QUuid::createUuid()});
    subscribeToEverything(*other);
    ASSERT_TRUE(save(*other, Record("VelmorProfiles", "profiles")).value);
    queue->advance(30s);
    EXPECT_EQ(pushes.received.size(), 1);
}

TEST_F(FolderDatabase, OldAssetFilesGoOnceNoReaderCanHoldThem)
{
    const auto c = client();
    std::optional<Record> record = Record("VelmorIcon", "gear");
    QStringList versions;
    for (const QByteArray svg : {"<svg>1</svg>", "<svg>2</svg>", "<svg>3</svg>"}) {
        writeFile(supportPath("icon.svg"), svg);
        record->setValue("svgAsset", Asset{supportPath("icon.svg")});
        record = save(*c, *record).value;
        ASSERT_TRUE(record);
        versions.append(record->asset("svgAsset")->filePath);
    }
    // The latest file and the one before it (a reader may have just fetched it) stay.
    EXPECT_FALSE(QFile::exists(versions.at(0)));
    EXPECT_EQ(readFile(versions.at(1)), "<svg>2</svg>");
    EXPECT_EQ(readFile(versions.at(2)), "<svg>3</svg>");
    EXPECT_EQ(QDir(file("assets/gear")).entryList(QDir::Files).size(), 2);
}

TEST_F(FolderDatabase, TheMachineKeepsOneClientIdInItsSettings)
{
    const auto first = FolderContainer::create("iCloud.Velmor", {folder(), true});
    const auto second = FolderContainer::create("iCloud.Velmor", {folder(), true});
    const auto token = [&](FolderContainer& c) {
        return *complete<QByteArray>(*queue, [&](auto done) { c.registerForRemoteNotifications(std::move(done)); }).value;
    };
    EXPECT_EQ(token(*first), token(*second));
    EXPECT_EQ(QUuid::fromRfc4122(token(*first)), QUuid(settings->value("Velmor.cloudClientID").toString()));
}

} // namespace

namespace {

// A name of exactly `bytes` UTF-8 bytes, two-byte letters first.
QString nameOfBytes(qsizetype bytes)
{
    return QString(bytes / 3, QChar(0xE4)) + QString(bytes - bytes / 3 * 2, u'x');
}

} // namespace

// Every record name a file name can hold travels: names whose "<name>.json" (or whose
// temporary beside it) would pass the file system's limit are stored under a cut, hashed
// file name holding the whole name, known under the whole name to the looks for changes
// (its own saves are no change to the writer).
TEST_F(FolderDatabase, NamesUpToTheFileSystemsLimitAreStoredReadAndSeen)
{
    const auto writer = client();
    const auto reader = client();
    subscribeToEverything(*reader);
    subscribeToEverything(*writer);
    PushLog pushes(*reader);
    PushLog own(*writer);
    writeFile(supportPath("icon.svg"), "<svg/>");
    QStringList names;
    for (const qsizetype bytes : {236, 237, 241, 250, 251, 255})
        names << nameOfBytes(bytes);
    names << nameOfBytes(251).chopped(1) + "y"; // shares the cut start of the other 251-byte name
    for (const QString& name : std::as_const(names)) {
        Record record("VelmorIcon", name);
        record.setValue("svgAsset", Asset{supportPath("icon.svg")});
        const Outcome<Record> saved = save(*writer, record);
        ASSERT_TRUE(saved.value) << name.toUtf8().size() << ": " << saved.error->localizedDescription().toStdString();
    }
    QStringList files = QDir(file("records")).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(files.size(), names.size()) << "no temporary left";
    EXPECT_TRUE(files.contains(nameOfBytes(250) + ".json")) << "a name that fits keeps its file name";
    for (const QString& name : std::as_const(files))
        EXPECT_LE(name.toUtf8().size(), 255);

    reader->checkForChanges();
    writer->checkForChanges();
    queue->runUntilIdle();
    EXPECT_FALSE(pushes.received.isEmpty());
    EXPECT_TRUE(own.received.isEmpty());
    for (const QString& name : std::as_const(names)) {
        const Outcome<Record> fetched = fetch(*reader, name);
        ASSERT_TRUE(fetched.value) << name.toUtf8().size();
        EXPECT_EQ(fetched.value->recordName(), name);
        EXPECT_EQ(readFile(fetched.value->asset("svgAsset")->filePath), "<svg/>");
    }
    // Saved again over what the other client fetched: the change tag is checked as for any name.
    const Outcome<Record> again = save(*reader, *fetch(*reader, names.at(4)).value);
    EXPECT_TRUE(again.value);
    EXPECT_EQ(save(*writer, Record("VelmorIcon", names.at(4))).code(), Code::serverRecordChanged);
}

// A name that ends as a cut name does ("~" and 16 hex digits) never takes the file of the
// longer name it imitates, however short it is: it is cut too. The names already stored
// keep their files, so what peers wrote maps as before.
TEST_F(FolderDatabase, ANameThatImitatesACutNameGetsAFileOfItsOwn)
{
    const auto writer = client();
    const auto reader = client();
    const QString imitated = nameOfBytes(251);
    ASSERT_TRUE(save(*writer, Record("VelmorIcon", imitated)).value);
    const QString hash = QCryptographicHash::hash(imitated.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    const QString cut = QString(83, QChar(0xE4)) + QString(67, u'x') + '~' + hash;
    ASSERT_EQ(QDir(file("records")).entryList(QDir::Files), QStringList{cut + ".json"});

    const QStringList names{cut, "scan~0123456789abcdef", "scan~0123456789ABCDEF", "scan~0123456789abcde"};
    for (const QString& name : names)
        ASSERT_TRUE(save(*writer, Record("VelmorIcon", name)).value) << name.toStdString();
    const QStringList stored = QDir(file("records")).entryList(QDir::Files);
    EXPECT_EQ(stored.size(), names.size() + 1) << stored.join('\n').toStdString();
    EXPECT_TRUE(stored.contains("scan~0123456789ABCDEF.json"));
    EXPECT_TRUE(stored.contains("scan~0123456789abcde.json"));
    EXPECT_FALSE(stored.contains("scan~0123456789abcdef.json"));
    for (const QString& name : names + QStringList{imitated}) {
        const Outcome<Record> fetched = fetch(*reader, name);
        ASSERT_TRUE(fetched.value) << name.toStdString();
        EXPECT_EQ(fetched.value->recordName(), name);
    }
}
