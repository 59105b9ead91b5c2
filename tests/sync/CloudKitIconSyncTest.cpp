#include "model/CustomIconLibrary.h"
#include "model/SvgIconImage.h"
#include "platform/cloud/memory/MemoryCloud.h"
#include "support/TestSupport.h"
#include "sync/CloudKitIconSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::cloud;
using Call = MemoryCloud::Call;

namespace {

QByteArray svg(const char* colour, const QByteArray& size = R"(width="16" height="16")")
{
    return R"(<svg xmlns="http://www.w3.org/2000/svg" )" + size
        + R"(><rect x="-1e5" y="-1e5" width="2e5" height="2e5" fill=")" + colour + R"("/></svg>)";
}

QDateTime at(int minute) { return QDateTime(QDate(2024, 3, 1), QTime(10, minute), Qt::UTC); }

void writeDated(const QString& path, const QByteArray& bytes, const QDateTime& modified)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.flush();
    ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
}

QByteArray assetBytes(const std::optional<Record>& record, const QString& key)
{
    return record && record->asset(key) ? test::readFile(record->asset(key)->filePath) : QByteArray();
}

QCoro::Task<> finish(QCoro::Task<> task, bool* finished)
{
    co_await task;
    *finished = true;
}

// One of the user's machines: its own client, icons folder and temporary folder.
struct Machine {
    explicit Machine(std::shared_ptr<Container> client)
        : container(std::move(client)), sync(*container->privateCloudDatabase(), icons.path(), temporary.path())
    {
    }
    QString icon(const QString& name) const { return icons.filePath(name + ".svg"); }
    QByteArray bytes(const QString& name) const
    {
        return QFileInfo::exists(icon(name)) ? test::readFile(icon(name)) : QByteArray();
    }
    QDateTime modified(const QString& name) const { return *CloudKitIconSync::fileModificationDate(icon(name)); }
    QStringList temporaryFiles() const { return QDir(temporary.path()).entryList(QDir::Files); }

    std::shared_ptr<Container> container;
    QTemporaryDir icons;
    QTemporaryDir temporary;
    CloudKitIconSync sync;
};

class CloudKitIconSyncTest : public test::PlatformFixture {
protected:
    void sync(Machine& machine, const QStringList& names)
    {
        bool finished = false;
        finish(machine.sync.syncIcons(names), &finished);
        queue->runUntilIdle();
        EXPECT_TRUE(finished);
    }

    // A record as another machine left it.
    Record putIcon(const QString& name, const QByteArray& document, std::optional<QDateTime> updatedAt,
                   bool preview = true)
    {
        Record record(CloudKitIconSync::recordType, name);
        test::writeFile(remoteFiles.filePath(name), document);
        record.setValue(CloudKitIconSync::svgAssetKey, Asset{remoteFiles.filePath(name)});
        if (preview)
            record.setValue(CloudKitIconSync::pngAssetKey, Asset{remoteFiles.filePath(name)});
        if (updatedAt)
            record.setValue(CloudKitIconSync::updatedAtKey, *updatedAt);
        record.setServerMetadata("tag", at(30));
        return cloud.putRecord(record);
    }

    MemoryCloud cloud;
    QTemporaryDir remoteFiles;
    Machine local{cloud.localClient()};
};

TEST_F(CloudKitIconSyncTest, UploadsWhatIsNewerLocallyWithTheFileDateAndNothingWhenEqual)
{
    cloud.setServerTime(at(50));
    writeDated(local.icon("ct"), svg("red"), at(1));
    sync(local, {"ct.svg"});
    const auto stored = cloud.storedRecord("ct");
    EXPECT_EQ(stored->recordType(), "VelmorIcon");
    EXPECT_EQ(assetBytes(stored, "svgAsset"), svg("red"));
    EXPECT_EQ(stored->date("updatedAt"), at(1)); // the file's date, not the upload's

    // Edited later: saved over the fetched record, so its change tag lets it through.
    writeDated(local.icon("ct"), svg("blue"), at(2));
    sync(local, {"ct"});
    EXPECT_EQ(assetBytes(cloud.storedRecord("ct"), "svgAsset"), svg("blue"));
    EXPECT_EQ(cloud.storedRecord("ct")->date("updatedAt"), at(2));

    sync(local, {"ct", "missing"}); // equal dates; neither file nor record
    EXPECT_EQ(cloud.callCount(Call::saveRecord), 2);
    EXPECT_FALSE(cloud.storedRecord("missing"));

    // A record that lacks its preview is made whole from the local file, whatever the dates.
    putIcon("ct", svg("green"), at(9), /*preview*/ false);
    sync(local, {"ct"});
    EXPECT_EQ(assetBytes(cloud.storedRecord("ct"), "svgAsset"), svg("blue"));
    EXPECT_TRUE(cloud.storedRecord("ct")->asset("pngAsset"));
    EXPECT_EQ(local.temporaryFiles(), QStringList());
}

TEST_F(CloudKitIconSyncTest, DownloadsWhatIsNewerRemotelyDatedAsTheRecord)
{
    putIcon("ct", svg("red"), at(5));
    auto& cache = customIconImageCache();
    cache.insert("ct.svg", QImage(4, 4, QImage::Format_ARGB32), cache.generation());

    sync(local, {"ct"});
    EXPECT_EQ(local.bytes("ct"), svg("red"));
    EXPECT_EQ(local.modified("ct"), at(5));
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(QDir(local.icons.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"ct.svg"});

    // Dated as the record, the file is not sent straight back.
    sync(local, {"ct"});
    EXPECT_EQ(cloud.callCount(Call::saveRecord), 0);

    // An older local file is replaced; a record without "updatedAt" counts by its server date.
    writeDated(local.icon("ct"), svg("blue"), at(29));
    Record undated = putIcon("ct", svg("green"), std::nullopt);
    sync(local, {"ct"});
    EXPECT_EQ(local.bytes("ct"), svg("green"));
    EXPECT_EQ(local.modified("ct"), at(30));
    EXPECT_EQ(cloud.storedRecord("ct"), undated);
}

TEST_F(CloudKitIconSyncTest, OneIconPerBaseNameInPlainOrderOneAfterAnother)
{
    for (const char* name : {"ct", "CT", "b"})
        writeDated(local.icon(name), svg("red"), at(1));
    cloud.setHolding(true);
    local.sync.syncIcons({"b", "icons/ct.svg", "ct", "CT.svg", "ct.svg"});
    for (const char* expected : {"fetchRecord CT", "saveRecord CT", "fetchRecord b", "saveRecord b",
                                 "fetchRecord ct", "saveRecord ct"}) {
        queue->runUntilIdle();
        ASSERT_EQ(cloud.heldCalls(), QStringList{expected});
        cloud.releaseAll();
    }
    queue->runUntilIdle();
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), 3);
    EXPECT_FALSE(cloud.storedRecord("ct.svg"));
}

TEST_F(CloudKitIconSyncTest, NamesAndEntriesThatCannotBeIconsAreSkipped)
{
    sync(local, {"", ".svg", "..svg", ".hidden.svg", "a\\b.svg", QString("tab\tname.svg")});
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), 0);

    // A pipe would stall the upload; a folder or an oversized file no machine would take.
    ASSERT_EQ(::mkfifo(QFile::encodeName(local.icon("pipe")).constData(), 0600), 0);
    QDir(local.icons.path()).mkdir("folder.svg");
    writeDated(local.icon("big"), svg("red").leftJustified(SvgIconLimits::maxFileBytes + 1, ' '), at(1));
    sync(local, {"pipe", "folder", "big"});
    EXPECT_EQ(cloud.callCount(Call::saveRecord), 0);

    Record record = putIcon("x", svg("red"), at(1));
    EXPECT_FALSE(local.sync.downloadIcon(record, "../x"));
    EXPECT_FALSE(QFileInfo::exists(QDir(local.icons.path()).filePath("../x.svg")));
}

TEST_F(CloudKitIconSyncTest, FailuresAreSilentLeaveFilesAloneAndTheListGoesOn)
{
    writeDated(local.icon("a"), svg("red"), at(1));
    writeDated(local.icon("b"), svg("red"), at(1));
    cloud.failNext(Call::fetchRecord, Error(Error::Code::serviceUnavailable));
    sync(local, {"a", "b"});
    EXPECT_FALSE(cloud.storedRecord("a"));
    EXPECT_TRUE(cloud.storedRecord("b"));

    cloud.failNext(Call::saveRecord, Error(Error::Code::serverRecordChanged));
    sync(local, {"a"});
    EXPECT_FALSE(cloud.storedRecord("a"));
    EXPECT_EQ(local.temporaryFiles(), QStringList()); // the preview goes even when the save fails
    EXPECT_EQ(local.bytes("a"), svg("red"));

    // Newer remote files that would not pass as local icons are not written.
    auto& cache = customIconImageCache();
    cache.insert("c.svg", QImage(4, 4, QImage::Format_ARGB32), cache.generation());
    writeDated(local.icon("c"), svg("blue"), at(1));
    putIcon("c", "<html/>", at(9));
    putIcon("d", svg("red").leftJustified(SvgIconLimits::maxFileBytes + 1, ' '), at(9));
    sync(local, {"c", "d"});
    EXPECT_EQ(local.bytes("c"), svg("blue"));
    EXPECT_EQ(local.modified("c"), at(1));
    EXPECT_FALSE(QFileInfo::exists(local.icon("d")));
    EXPECT_TRUE(cache.image("c.svg"));
}

TEST_F(CloudKitIconSyncTest, PreviewIsASquareRgbaPngWithTheDrawingFittedAndCentred)
{
    writeDated(local.icon("wide"), svg("red", R"(width="200" height="100")"), at(1));
    sync(local, {"wide"});
    const QByteArray png = assetBytes(cloud.storedRecord("wide"), "pngAsset");
    ASSERT_GE(png.size(), 26);
    EXPECT_EQ(png.left(16), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    EXPECT_EQ(png.mid(16, 10), QByteArray("\0\0\0\x80\0\0\0\x80\x08\x06", 10)); // 128 × 128, 8-bit RGBA
    const QImage image = QImage::fromData(png);
    for (int x : {0, 64, 127}) {
        EXPECT_EQ(image.pixelColor(x, 31).alpha(), 0);
        EXPECT_EQ(image.pixelColor(x, 32), QColor(Qt::red));
        EXPECT_EQ(image.pixelColor(x, 95), QColor(Qt::red));
        EXPECT_EQ(image.pixelColor(x, 96).alpha(), 0);
    }
    EXPECT_FALSE(CloudKitIconSync::renderPNG(QImage(), 128));

    // A file that cannot be drawn goes up without a preview, keeping the one the record has.
    writeDated(local.icon("wide"), "not an svg", at(2));
    sync(local, {"wide"});
    EXPECT_EQ(assetBytes(cloud.storedRecord("wide"), "svgAsset"), "not an svg");
    EXPECT_EQ(assetBytes(cloud.storedRecord("wide"), "pngAsset"), png);
    writeDated(local.icon("new"), "not an svg", at(2));
    sync(local, {"new"});
    sync(local, {"new"});
    EXPECT_FALSE(cloud.storedRecord("new")->asset("pngAsset"));
    EXPECT_EQ(cloud.callCount(Call::saveRecord), 4); // without a preview it goes up every time
    EXPECT_EQ(local.temporaryFiles(), QStringList());
}

TEST_F(CloudKitIconSyncTest, TwoMachinesConvergeOnTheNewerIcon)
{
    for (const bool newerFirst : {false, true}) {
        MemoryCloud shared;
        Machine older(shared.localClient());
        Machine newer(shared.makeClient());
        writeDated(older.icon("ct"), svg("red"), at(1));
        writeDated(newer.icon("ct"), svg("blue"), at(2));
        for (Machine* machine : newerFirst ? QList{&newer, &older, &newer} : QList{&older, &newer, &older, &newer})
            sync(*machine, {"ct"});
        EXPECT_EQ(older.bytes("ct"), svg("blue"));
        EXPECT_EQ(older.modified("ct"), at(2));
        EXPECT_EQ(assetBytes(shared.storedRecord("ct"), "svgAsset"), svg("blue"));

        const int saves = shared.callCount(Call::saveRecord);
        Machine fresh(shared.makeClient());
        for (Machine* machine : {&older, &newer, &fresh})
            sync(*machine, {"ct"});
        EXPECT_EQ(shared.callCount(Call::saveRecord), saves);
        EXPECT_EQ(fresh.bytes("ct"), svg("blue"));
    }
}

TEST_F(CloudKitIconSyncTest, LeavesRecordsOfOtherKindsAndFilesWrittenMeanwhileAlone)
{
    Record profiles("VelmorProfiles", "profiles");
    profiles.setValue("updatedAt", at(9));
    profiles = cloud.putRecord(profiles);
    writeDated(local.icon("profiles"), svg("red"), at(1));
    sync(local, {"profiles"});
    EXPECT_EQ(cloud.storedRecord("profiles"), profiles);

    // The user saves a newer file while the record is on its way.
    putIcon("ct", svg("red"), at(5));
    cloud.setHolding(true);
    local.sync.syncIcons({"ct"});
    writeDated(local.icon("ct"), svg("blue"), at(6));
    cloud.releaseAll();
    queue->runUntilIdle();
    EXPECT_EQ(local.bytes("ct"), svg("blue"));
}

TEST_F(CloudKitIconSyncTest, ASyncWhoseObjectIsGoneStopsAtItsNextStep)
{
    writeDated(local.icon("a"), svg("red"), at(1));
    writeDated(local.icon("b"), svg("red"), at(1));
    auto doomed = std::make_unique<CloudKitIconSync>(*cloud.localClient()->privateCloudDatabase(), local.icons.path());
    cloud.setHolding(true);
    doomed->syncIcons({"a", "b"});
    queue->runUntilIdle();
    doomed.reset();
    cloud.releaseAll();
    queue->runUntilIdle();
    EXPECT_TRUE(cloud.heldCalls().isEmpty());
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), 1);
    EXPECT_EQ(cloud.callCount(Call::saveRecord), 0);
}

} // namespace
