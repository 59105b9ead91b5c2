// The folder database in a folder that others share: planted links, entries of
// the wrong kind or size, full and read-only disks.
#include "CloudTestSupport.h"
#include "platform/FileNames.h"
#include "platform/cloud/folder/FolderAccount.h"
#include "platform/cloud/folder/FolderContainer.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

using namespace velmor;
using namespace velmor::cloud;
using namespace velmor::test;
using namespace std::chrono_literals;
using Code = Error::Code;

namespace {
files::FileKind fileKindOf(const QString& path) { return files::fileKind(path); }
} // namespace

namespace {

class FolderHostile : public PlatformFixture {
protected:
    void SetUp() override
    {
        QDir().mkpath(folder());
        QDir().mkpath(outside());
        writeFile(outside() + "/f", "keep");
        writeFile(outside() + "/.hidden", "keep");
    }

    std::shared_ptr<FolderContainer> client(folder::ChangeFault fault = {})
    {
        return FolderContainer::create("iCloud.Velmor", {folder(), true}, {QUuid::createUuid(), 30s, std::move(fault)});
    }
    QString folder() const { return supportPath("share"); }
    QString outside() const { return supportPath("outside"); }
    QString file(const QString& relative) const { return folder() + '/' + relative; }
    void link(const QString& target, const QString& relative)
    {
        QDir().mkpath(QFileInfo(file(relative)).absolutePath());
        ASSERT_TRUE(QFile::link(target, file(relative)));
    }
    void fifo(const QString& relative)
    {
        QDir().mkpath(QFileInfo(file(relative)).absolutePath());
        ASSERT_EQ(::mkfifo(QFile::encodeName(file(relative)).constData(), 0600), 0);
    }
    void expectOutsideUntouched()
    {
        EXPECT_EQ(QDir(outside()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList({".hidden", "f"}));
        EXPECT_EQ(readFile(outside() + "/f"), "keep");
    }

    Record icon(const QByteArray& svg)
    {
        writeFile(supportPath("icon.svg"), svg);
        Record record("VelmorIcon", "gear");
        record.setValue("svgAsset", Asset{supportPath("icon.svg")});
        return record;
    }
    static Record profiles(const QByteArray& payload)
    {
        Record record("VelmorProfiles", "profiles");
        record.setValue("payload", payload);
        return record;
    }
    Outcome<Record> save(Container& c, const Record& record) { return test::save(*queue, *c.privateCloudDatabase(), record); }
    Outcome<Record> fetch(Container& c, const QString& name) { return test::fetch(*queue, *c.privateCloudDatabase(), name); }
    Outcome<Subscription> saveSubscription(Container& c, const QString& id)
    {
        return complete<Subscription>(*queue, [&](auto done) {
            c.privateCloudDatabase()->saveSubscription(Subscription::database(id), std::move(done));
        });
    }
    static QString text(const Outcome<Record>& outcome)
    {
        return outcome.error ? outcome.error->localizedDescription() : QString();
    }
};

TEST_F(FolderHostile, ALinkedFolderInsideIsRefusedAndWhatItPointsAtIsNeverTouched)
{
    const auto c = client();
    // Every upload used to empty the folder the link pointed at.
    link(outside(), "assets/profiles");
    const std::optional<Record> first = save(*c, profiles("a")).value;
    ASSERT_TRUE(first);
    Record second = *first;
    second.setValue("payload", QByteArray("b"));
    ASSERT_TRUE(save(*c, second).value) << "the profiles record has no files: its asset folder is not looked at";
    expectOutsideUntouched();

    link(outside(), "assets/gear");
    const Outcome<Record> linkedAssets = save(*c, icon("<svg/>"));
    EXPECT_EQ(linkedAssets.code(), Code::permissionFailure);
    EXPECT_EQ(text(linkedAssets), QString("“%1” is a symbolic link, not a folder. Velmor uses only real folders "
                                          "inside the cloud folder.").arg(file("assets/gear")));
    EXPECT_FALSE(QFile::exists(file("records/gear.json"))) << "a refused folder stops the save before it writes";
    expectOutsideUntouched();

    QFile::remove(file("assets/gear"));
    QFile::remove(file("assets/profiles"));
    QDir(file("assets")).removeRecursively();
    writeFile(file("assets"), "a file where a folder belongs");
    EXPECT_TRUE(text(save(*c, icon("<svg/>"))).startsWith(QString("“%1” is a regular file, not a folder.").arg(file("assets"))));

    QDir(file("records")).removeRecursively();
    link(outside(), "records");
    EXPECT_TRUE(text(save(*c, profiles("c"))).startsWith(QString("“%1” is a symbolic link").arg(file("records"))));
    EXPECT_EQ(fetch(*c, "profiles").code(), Code::permissionFailure);
    link(outside(), "subscriptions");
    EXPECT_EQ(saveSubscription(*c, "s").code(), Code::permissionFailure);
    EXPECT_EQ(complete<QList<Subscription>>(*queue, [&](auto done) {
                  c->privateCloudDatabase()->fetchAllSubscriptions(std::move(done));
              }).code(),
              Code::permissionFailure);
    expectOutsideUntouched();
}

TEST_F(FolderHostile, OnlyVelmorsOwnOldAssetFilesAreRemoved)
{
    const auto c = client();
    std::optional<Record> record = icon("<svg>1</svg>");
    record = save(*c, *record).value;
    ASSERT_TRUE(record);
    const QString firstVersion = record->asset("svgAsset")->filePath;
    writeFile(file("assets/gear/notes.txt"), "mine");
    writeFile(file("assets/gear/.sync-state"), "mine");
    QDir().mkpath(file("assets/gear/00000000000000aa.folder"));
    link(outside() + "/f", "assets/gear/00000000000000bb.svgAsset"); // named like an asset, yet a link
    QStringList expected = {".sync-state", "00000000000000aa.folder", "00000000000000bb.svgAsset", "notes.txt"};
    for (const QByteArray svg : {"<svg>2</svg>", "<svg>3</svg>"}) {
        record->setValue("svgAsset", Asset{supportPath("icon.svg")});
        writeFile(supportPath("icon.svg"), svg);
        record = save(*c, *record).value;
        ASSERT_TRUE(record);
        expected.append(QFileInfo(record->asset("svgAsset")->filePath).fileName());
    }
    EXPECT_FALSE(QFile::exists(firstVersion));
    QStringList left = QDir(file("assets/gear")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    left.sort();
    expected.sort();
    EXPECT_EQ(left.join(", ").toStdString(), expected.join(", ").toStdString());
    expectOutsideUntouched();
}

TEST_F(FolderHostile, AFetchedFileStaysWhatTheFetchReadWhenItsFolderIsSwappedForALink)
{
    const auto c = client();
    const std::optional<Record> saved = save(*c, icon("<svg>1</svg>")).value;
    ASSERT_TRUE(saved);
    const std::optional<Record> fetched = fetch(*c, "gear").value;
    ASSERT_TRUE(fetched);
    const QString path = fetched->asset("svgAsset")->filePath;
    EXPECT_FALSE(path.startsWith(folder())) << "handed out as a copy, not as a path into the shared folder";

    // Someone swaps the asset folder for a link to a folder holding a file of the same name.
    const QString name = QFileInfo(path).fileName();
    const QString elsewhere = supportPath("elsewhere");
    QDir().mkpath(elsewhere);
    writeFile(elsewhere + '/' + name, "<svg>someone else's</svg>");
    ASSERT_TRUE(QDir(file("assets")).rename("gear", "gear.moved"));
    link(elsewhere, "assets/gear");
    EXPECT_EQ(readFile(path), "<svg>1</svg>");
    EXPECT_EQ(fetch(*c, "gear").code(), Code::permissionFailure);
    EXPECT_EQ(readFile(path), "<svg>1</svg>") << "a refused fetch leaves the earlier copy alone";

    // A file the share has not brought yet is missing for the reader, as before.
    QFile::remove(file("assets/gear"));
    ASSERT_TRUE(QDir(file("assets")).rename("gear.moved", "gear"));
    QFile::remove(file("assets/gear/" + name));
    const std::optional<Record> missing = fetch(*c, "gear").value;
    ASSERT_TRUE(missing);
    EXPECT_FALSE(QFile::exists(missing->asset("svgAsset")->filePath));
}

TEST_F(FolderHostile, FilesOfTheWrongKindAreRefusedAtOnceAndNamed)
{
    const auto c = client();
    fifo("records/profiles.json"); // opening it for reading used to block the worker for good
    const Outcome<Record> fromFifo = fetch(*c, "profiles");
    EXPECT_EQ(fromFifo.code(), Code::internalError);
    EXPECT_EQ(text(fromFifo), QString("The record “profiles” in the cloud folder cannot be read: “%1” is a FIFO, "
                                      "not a regular file.")
                                  .arg(file("records/profiles.json")));
    // Handled like a damaged record: moved aside, never written through.
    ASSERT_TRUE(save(*c, profiles("new")).value);
    EXPECT_EQ(fetch(*c, "profiles").value->bytes("payload"), "new");
    EXPECT_EQ(files::fileKind(file("records/profiles.json.damaged")), files::FileKind::other);

    writeFile(supportPath("r.json"), R"({"recordType": "T", "recordName": "r", "recordChangeTag": "1", "fields": {}})");
    link(supportPath("r.json"), "records/r.json");
    EXPECT_TRUE(text(fetch(*c, "r")).contains(QString("“%1” is a symbolic link").arg(file("records/r.json"))));
    link("/dev/zero", "records/z.json");
    EXPECT_EQ(fetch(*c, "z").code(), Code::internalError);

    fifo("account.json");
    const auto user = complete<QString>(*queue, [&](auto done) { c->fetchUserRecordID(std::move(done)); });
    EXPECT_TRUE(user.error && user.error->localizedDescription().contains(file("account.json")));

    fifo("subscriptions/s.json"); // the client's own to remake: absent, then replaced
    EXPECT_EQ(complete<Subscription>(*queue, [&](auto done) {
                  c->privateCloudDatabase()->fetchSubscription("s", std::move(done));
              }).code(),
              Code::unknownItem);
    EXPECT_TRUE(saveSubscription(*c, "s").value);

    // A file to upload is read only when it is a regular one.
    ::mkfifo(QFile::encodeName(supportPath("icon.fifo")).constData(), 0600);
    Record fromPipe("VelmorIcon", "pipe");
    fromPipe.setValue("svgAsset", Asset{supportPath("icon.fifo")});
    const Outcome<Record> upload = save(*c, fromPipe);
    EXPECT_EQ(upload.code(), Code::assetFileNotFound);
    EXPECT_TRUE(text(upload).contains(supportPath("icon.fifo")));
    expectOutsideUntouched();
}

TEST_F(FolderHostile, RecordsOverTheLimitAreRefusedUnreadAndFiftyUsersFit)
{
    const auto c = client();
    QDir().mkpath(file("records"));
    QFile big(file("records/big.json")); // sparse: nothing of it is ever read
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(folder::FolderAccount::maxRecordBytes + 1));
    big.close();
    EXPECT_TRUE(text(fetch(*c, "big")).contains("is too large (67,108,865 bytes; the limit is 67,108,864 bytes)"));

    // 50 users with 1,000 mappings each make a profiles document of about 14.4 MiB.
    const QByteArray payload(16'000'000, 'm');
    ASSERT_TRUE(save(*c, profiles(payload)).value);
    EXPECT_EQ(fetch(*c, "profiles").value->bytes("payload")->size(), payload.size());
}

TEST_F(FolderHostile, ThePollReadsARecordOnlyWhenItsFileChanged)
{
    const auto writer = client();
    const auto reader = client();
    complete<Subscription>(*queue, [&](auto done) {
        reader->privateCloudDatabase()->saveSubscription(Subscription::database("all"), std::move(done));
    });
    ASSERT_TRUE(save(*writer, profiles("1")).value);
    complete<QByteArray>(*queue, [&](auto done) { reader->registerForRemoteNotifications(std::move(done)); });
    PushLog pushes(*reader);

    // Another change tag written in place, with the same size, time and inode: the stamp hides it.
    const QString path = file("records/profiles.json");
    const QByteArray nativePath = QFile::encodeName(path);
    struct stat before {};
    ASSERT_EQ(::stat(nativePath.constData(), &before), 0);
    QByteArray bytes = readFile(path);
    const qsizetype tag = bytes.indexOf("\"recordChangeTag\": \"") + 20;
    bytes[tag] = bytes[tag] == 'f' ? 'e' : 'f';
    QFile record(path);
    ASSERT_TRUE(record.open(QIODevice::ReadWrite));
    record.write(bytes);
    record.close();
    const timespec times[] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, nativePath.constData(), times, 0), 0);
    queue->advance(30s);
    EXPECT_TRUE(pushes.received.isEmpty());

    const timespec later[] = {before.st_atim, {before.st_mtim.tv_sec + 1, before.st_mtim.tv_nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, nativePath.constData(), later, 0), 0);
    queue->advance(30s);
    EXPECT_EQ(pushes.received.size(), 1);

    fifo("records/pipe.json"); // never opened by the poll
    reader->checkForChanges();
    queue->runUntilIdle();
    EXPECT_EQ(pushes.received.size(), 1);
}

// The record a client last read or wrote is known while its file is unchanged:
// its own save is no change to the next look, which does not read it again (a
// file garbled in place, its stamp kept, would otherwise look like a removal);
// another client's save is read and pushed.
TEST_F(FolderHostile, TheLookKnowsTheRecordItsClientLastReadOrWrote)
{
    const auto writer = client();
    const auto reader = client();
    ASSERT_TRUE(saveSubscription(*reader, "all").value);
    ASSERT_TRUE(save(*writer, profiles("1")).value);
    complete<QByteArray>(*queue, [&](auto done) { reader->registerForRemoteNotifications(std::move(done)); });
    PushLog pushes(*reader);

    const auto garbleInPlace = [&] {
        const QString path = file("records/profiles.json");
        const QByteArray nativePath = QFile::encodeName(path);
        struct stat before {};
        ASSERT_EQ(::stat(nativePath.constData(), &before), 0);
        QFile record(path);
        ASSERT_TRUE(record.open(QIODevice::ReadWrite));
        record.write(QByteArray(record.size(), ' '));
        record.close();
        const timespec times[] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, nativePath.constData(), times, 0), 0);
    };
    Record mine = *fetch(*reader, "profiles").value;
    mine.setValue("payload", QByteArray("2"));
    ASSERT_TRUE(save(*reader, mine).value);
    garbleInPlace();
    reader->checkForChanges();
    queue->runUntilIdle();
    EXPECT_TRUE(pushes.received.isEmpty());

    ASSERT_TRUE(save(*writer, profiles("3")).value); // in place of the garbled file
    reader->checkForChanges();
    queue->runUntilIdle();
    EXPECT_EQ(pushes.received.size(), 1);
}

TEST_F(FolderHostile, WriteErrorsCarryTheSystemsReason)
{
    ASSERT_TRUE(save(*client(), profiles("old")).value);
    const auto full = client([](const QString& path) { return path.endsWith(".json") ? ENOSPC : 0; });
    const Outcome<Record> fetched = fetch(*full, "profiles");
    Record changed = *fetched.value;
    changed.setValue("payload", QByteArray("new"));
    const Outcome<Record> saved = save(*full, changed);
    EXPECT_EQ(saved.code(), Code::permissionFailure);
    EXPECT_EQ(text(saved), QString("Could not write “%1”: No space left on device").arg(file("records/profiles.json")));
    EXPECT_EQ(fetch(*full, "profiles").value->bytes("payload"), "old");
    EXPECT_EQ(QDir(file("records")).entryList(QDir::Files | QDir::Hidden), QStringList{"profiles.json"})
        << "nothing half-written is left";
    EXPECT_EQ(saveSubscription(*full, "s").error->localizedDescription(),
              QString("Could not write “%1”: No space left on device").arg(file("subscriptions/s.json")));
}

TEST_F(FolderHostile, AReadOnlyFolderIsThereButSaysItCannotBeWritten)
{
    ASSERT_TRUE(save(*client(), profiles("shared")).value);
    const auto readOnly = client([](const QString&) { return EROFS; });
    EXPECT_EQ(*complete<AccountStatus>(*queue, [&](auto done) { readOnly->accountStatus(std::move(done)); }).value,
              AccountStatus::available);
    EXPECT_EQ(fetch(*readOnly, "profiles").value->bytes("payload"), "shared");
    EXPECT_EQ(text(save(*readOnly, profiles("x"))),
              QString("The cloud folder “%1” cannot be written: Read-only file system").arg(folder()));
}

// After a save that failed for want of access, the first regular look that finds the
// folder writable (and with room) says so, once; nothing is said without a failure.
TEST_F(FolderHostile, AFolderThatTakesWritesAgainIsAnnouncedOnceAtTheNextLook)
{
    int fault = EROFS;
    const auto c = client([&fault](const QString&) { return fault; });
    int announced = 0;
    c->setWritableAgainHandler([&announced] { ++announced; });
    complete<QByteArray>(*queue, [&](auto done) { c->registerForRemoteNotifications(std::move(done)); });
    queue->advance(31s);
    EXPECT_EQ(announced, 0);
    EXPECT_EQ(save(*c, profiles("x")).code(), Code::permissionFailure);
    queue->advance(31s);
    fault = ENOSPC;
    queue->advance(31s);
    EXPECT_EQ(announced, 0);
    fault = 0;
    queue->advance(31s);
    EXPECT_EQ(announced, 1);
    queue->advance(300s);
    EXPECT_EQ(announced, 1);
    // A share that was away counts as a failure too.
    QDir(folder()).removeRecursively();
    EXPECT_EQ(*complete<AccountStatus>(*queue, [&](auto done) { c->accountStatus(std::move(done)); }).value,
              AccountStatus::noAccount);
    queue->advance(31s);
    QDir().mkpath(folder());
    queue->advance(31s);
    EXPECT_EQ(announced, 2);
}

// A save that the folder's lock held up is announced as soon as the lock is gone, once,
// whether or not the client looks for changes; one that went through meanwhile owes nothing.
TEST_F(FolderHostile, ASaveTheLockHeldUpIsAnnouncedOnceTheLockIsGone)
{
    const auto c = client();
    int announced = 0;
    c->setWritableAgainHandler([&announced] { ++announced; });
    QDir().mkpath(file(".lock"));
    EXPECT_EQ(save(*c, profiles("x")).code(), Code::serviceUnavailable);
    EXPECT_EQ(save(*c, profiles("x")).code(), Code::serviceUnavailable);
    queue->advance(10s);
    EXPECT_EQ(announced, 0);
    QDir(file(".lock")).removeRecursively();
    queue->advance(FolderContainer::lockRecheckInterval);
    EXPECT_EQ(announced, 1);
    queue->advance(60s);
    EXPECT_EQ(announced, 1);

    QDir().mkpath(file(".lock"));
    EXPECT_EQ(save(*c, profiles("x")).code(), Code::serviceUnavailable);
    QDir(file(".lock")).removeRecursively();
    EXPECT_TRUE(save(*c, profiles("x")).value);
    queue->advance(60s);
    EXPECT_EQ(announced, 1);
}

TEST_F(FolderHostile, AFolderWithoutWritePermissionSaysSo)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop root; the read-only case is covered through the seam";
    const auto c = client();
    ASSERT_TRUE(QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner));
    const Outcome<Record> saved = save(*c, profiles("x"));
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(text(saved), QString("The cloud folder “%1” cannot be written: Permission denied").arg(folder()));
}

TEST_F(FolderHostile, ALockThatCannotBeTakenFailsAtOnce)
{
    const auto c = client();
    QDir().mkpath(file(".lock"));
    QElapsedTimer timer;
    timer.start();
    const Outcome<Record> saved = save(*c, profiles("x"));
    EXPECT_LT(timer.elapsed(), 5'000) << "a lock held by another client is waited for 15 s; this one never goes";
    EXPECT_EQ(saved.code(), Code::serviceUnavailable);
    EXPECT_EQ(text(saved), QString("“%1” is a folder, not a lock file. Nothing can be saved to the cloud folder "
                                   "until it is removed.")
                               .arg(file(".lock")));

    QDir(file(".lock")).removeRecursively();
    fifo(".lock"); // Qt would read it to see who holds it, and block
    EXPECT_EQ(save(*c, profiles("x")).code(), Code::serviceUnavailable);
    QFile::remove(file(".lock"));
    EXPECT_TRUE(save(*c, profiles("x")).value);
}

TEST_F(FolderHostile, ALockFileSwappedWhileWaitingIsRefusedNotOpened)
{
    // Another client's lock, fresh, from another machine: the save waits for it.
    writeFile(file(".lock"), "1\nvelmor\nother-machine\n");
    int looks = 0;
    const auto c = client([&](const QString& path) {
        // While the save waits, the holder's file becomes a FIFO.
        if (path == file(".lock") && ++looks == 2) {
            QFile::remove(path);
            fifo(".lock");
        }
        return 0;
    });
    const Outcome<Record> saved = save(*c, profiles("x"));
    EXPECT_EQ(saved.code(), Code::serviceUnavailable);
    EXPECT_EQ(text(saved), QString("“%1” is a FIFO, socket or device, not a lock file. Nothing can be saved to the "
                                   "cloud folder until it is removed.")
                               .arg(file(".lock")));
    EXPECT_EQ(fileKindOf(file(".lock")), files::FileKind::other) << "left in place";
}

TEST_F(FolderHostile, ALockTakenMidSaveStopsTheSaveAndOnlyTheOwnLockIsRemoved)
{
    // While this save holds the lock, another client breaks it and takes its own.
    const auto c = client([&](const QString& path) {
        if (path.endsWith("/records/profiles.json")) {
            QFile::remove(file(".lock"));
            writeFile(file(".lock"), "2\nvelmor\nother-machine\n");
        }
        return 0;
    });
    EXPECT_EQ(save(*c, profiles("x")).code(), Code::serverRecordChanged);
    EXPECT_FALSE(QFileInfo::exists(file("records/profiles.json")));
    EXPECT_EQ(readFile(file(".lock")), "2\nvelmor\nother-machine\n") << "the rival's lock stays";
}

} // namespace

// Another program fills the shared folder with records of long cut names (100,000 by
// hand): a look reads each file once and then only what changed, all of it away from
// the window, whose thread gets one push per subscription, however many records changed.
TEST_F(FolderHostile, AFolderFullOfOthersRecordsCostsALookOnlyWhatChanged)
{
    constexpr int planted = 20'000;
    const auto reader = client();
    ASSERT_TRUE(saveSubscription(*reader, "all").value);
    complete<Subscription>(*queue, [&](auto done) {
        reader->privateCloudDatabase()->saveSubscription(
            Subscription::query("icons", "VelmorIcon", Subscription::truePredicate,
                                Subscription::Option::firesOnRecordCreation),
            std::move(done));
    });
    complete<QByteArray>(*queue, [&](auto done) { reader->registerForRemoteNotifications(std::move(done)); });
    PushLog pushes(*reader);

    QDir().mkpath(file("records"));
    const auto plant = [&](int i, const char* tag) {
        Record record("VelmorIcon", QString(250, u'f') + QString::number(i));
        record.setServerMetadata(tag, QDateTime::currentDateTimeUtc());
        writeFile(file("records/" + fittedFileName(record.recordName(), ".json")), folder::encodeRecord(record, "X"));
    };
    for (int i = 0; i < planted; ++i)
        plant(i, "0123456789abcdef");

    ManualSerialQueue* files = serialQueues.find("com.velmor.cloud");
    ASSERT_NE(files, nullptr);
    files->setStepwise(true);
    // The longest the window's thread is held by one look.
    const auto look = [&] {
        QElapsedTimer held;
        held.start();
        reader->checkForChanges();
        qint64 longest = held.elapsed();
        files->runAll(); // the file queue's thread
        held.restart();
        queue->runUntilIdle();
        return std::max(longest, held.elapsed());
    };
    EXPECT_LT(look(), 50) << "ms";
    ASSERT_EQ(pushes.received.size(), 2) << "one per subscription for 20,000 new records";

    // Files garbled in place with their stamps kept would be changes if they were read again.
    for (int i = 0; i < planted; i += 1000) {
        const QString path = file("records/" + fittedFileName(QString(250, u'f') + QString::number(i), ".json"));
        struct stat before {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
        writeFile(path, QByteArray(before.st_size, ' '));
        const timespec times[] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    }
    EXPECT_LT(look(), 50) << "ms";
    EXPECT_EQ(pushes.received.size(), 2) << "nothing changed, nothing read";

    plant(planted, "fedcba9876543210");
    EXPECT_LT(look(), 50) << "ms";
    EXPECT_EQ(pushes.received.size(), 4);

    // A client started on the folder as it stands: its first look, at registration, is the file queue's too.
    serialQueues.makeStepwise("com.velmor.cloud");
    const auto started = client();
    ManualSerialQueue* startedFiles = serialQueues.find("com.velmor.cloud");
    ASSERT_NE(startedFiles, files);
    PushLog startedPushes(*started);
    QElapsedTimer held;
    held.start();
    started->registerForRemoteNotifications([](auto, auto) {});
    const qint64 registering = held.elapsed();
    startedFiles->runAll();
    held.restart();
    queue->runUntilIdle();
    EXPECT_LT(std::max(registering, held.elapsed()), 50) << "ms at start";
    started->checkForChanges();
    startedFiles->runAll();
    queue->runUntilIdle();
    EXPECT_TRUE(startedPushes.received.isEmpty()) << "what was there at the start is no change";
}
