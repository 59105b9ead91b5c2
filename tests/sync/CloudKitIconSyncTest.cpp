#include "model/CustomIconLibrary.h"
#include "model/SvgIconImage.h"
#include "platform/cloud/folder/FolderContainer.h"
#include "platform/cloud/memory/MemoryCloud.h"
#include "support/InProcessIconRenderer.h"
#include "support/TestSupport.h"
#include "sync/CloudKitIconSync.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

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

const QByteArray wide = svg("red", R"(width="200" height="100")");

QDateTime at(int minute) { return QDateTime(QDate(2024, 3, 1), QTime(10, minute), Qt::UTC); }

QByteArray assetBytes(const std::optional<Record>& record, const QString& key)
{
    return record && record->asset(key) ? test::readFile(record->asset(key)->filePath) : QByteArray();
}

// One machine's icons folder, its temporary folder and its icon sync, on a cloud in memory.
class CloudKitIconSyncTest : public test::PlatformFixture {
protected:
    void sync(const QStringList& names)
    {
        iconSync.syncIcons(names);
        queue->runUntilIdle();
    }
    QString icon(const QString& name) const { return icons.filePath(name + ".svg"); }
    void writeIcon(const QString& name, const QByteArray& bytes, const QDateTime& modified)
    {
        test::writeFile(icon(name), bytes);
        QFile file(icon(name));
        ASSERT_TRUE(file.open(QIODevice::Append) && file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    // A record as another machine left it.
    Record putIcon(const QString& name, const QByteArray& document, std::optional<QDateTime> updatedAt,
                   bool preview = true, const QString& type = "VelmorIcon")
    {
        Record record(type, name);
        test::writeFile(remoteFiles.filePath(name), document);
        record.setValue("svgAsset", Asset{remoteFiles.filePath(name)});
        if (preview)
            record.setValue("pngAsset", Asset{remoteFiles.filePath(name)});
        if (updatedAt)
            record.setValue("updatedAt", *updatedAt);
        record.setServerMetadata("tag", at(30));
        return cloud.putRecord(record);
    }

    test::InProcessIconRenderer renderer;
    MemoryCloud cloud;
    QTemporaryDir remoteFiles;
    QTemporaryDir icons;
    QTemporaryDir temporary;
    CloudKitIconSync iconSync{*cloud.localClient()->privateCloudDatabase(), icons.path(), temporary.path()};
};

// The minute of the local file and of the record's "updatedAt" (none: no file or no record; -1: no
// "updatedAt", so the server's minute 30 counts), whether the record has its preview, whether the sync
// uploads ('u'), downloads ('d') or does nothing, which drawing gives way and is kept beside the icon
// (l: this machine's, r: the record's), the record's file and its type. No base: the dates decide.
struct Row {
    std::optional<int> local;
    std::optional<int> remote;
    bool preview;
    char outcome;
    char kept = 0;
    QByteArray document = svg("blue");
    QString type = "VelmorIcon";
};

class IconSyncRow : public CloudKitIconSyncTest, public ::testing::WithParamInterface<Row> {};

TEST_P(IconSyncRow, WithoutABaseTheLaterFileWinsTheOtherIsKeptAndASecondRoundChangesNothing)
{
    const Row row = GetParam();
    if (row.local)
        writeIcon("ct", wide, at(*row.local));
    std::optional<QDateTime> updatedAt = row.remote > 0 ? std::optional(at(*row.remote)) : std::nullopt;
    if (row.remote)
        putIcon("ct", row.document, updatedAt, row.preview, row.type);
    auto& cache = customIconImageCache();
    cache.insert("ct.svg", QImage(4, 4, QImage::Format_ARGB32), cache.generation());
    const quint64 arrivals = CustomIconLibrary::shared().arrivals().get();
    sync({"ct.svg"});
    // A download has the windows look again at once.
    EXPECT_EQ(CustomIconLibrary::shared().arrivals().get() != arrivals, row.outcome == 'd');
    const int saves = cloud.callCount(Call::saveRecord);
    EXPECT_EQ(saves, row.outcome == 'u' ? 1 : 0);
    const QByteArray local = QFileInfo::exists(icon("ct")) ? test::readFile(icon("ct")) : "";
    EXPECT_EQ(local, row.outcome == 'd' ? row.document : row.local ? wide : "");
    EXPECT_EQ(cache.count(), row.outcome == 'd' ? 0 : 1);
    if (row.outcome == 'u') { // saved over the fetched record, dated as the file
        EXPECT_EQ(assetBytes(cloud.storedRecord("ct"), "svgAsset"), wide);
        // The preview: a square RGBA PNG, the drawing fitted and centred.
        const QByteArray png = assetBytes(cloud.storedRecord("ct"), "pngAsset");
        EXPECT_EQ(png.left(26), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x80\0\0\0\x80\x08\x06", 26));
        const QImage image = QImage::fromData(png);
        for (const int y : {31, 32, 95, 96}) // the rows from 32 to 95 drawn
            EXPECT_EQ(image.pixelColor(64, y).alpha(), y == 31 || y == 96 ? 0 : 255) << y;
        EXPECT_EQ(cloud.storedRecord("ct")->date("updatedAt"), at(*row.local));
    } else if (row.outcome == 'd') {
        EXPECT_EQ(QFileInfo(icon("ct")).lastModified().toUTC(), updatedAt.value_or(at(30)));
    }
    // The drawing that gave way, beside the icon.
    const QByteArray kept = QFileInfo::exists(icon("ct 2")) ? test::readFile(icon("ct 2")) : "";
    EXPECT_EQ(kept, row.kept == 'l' ? wide : row.kept == 'r' ? row.document : "");
    EXPECT_TRUE(QDir(temporary.path()).isEmpty());
    EXPECT_EQ(QDir(icons.path()).entryList(QDir::Files | QDir::Hidden).size(),
              (row.outcome == 'd' || row.local) + (row.kept ? 1 : 0));
    sync({"ct"});
    EXPECT_EQ(cloud.callCount(Call::saveRecord), saves);
    cache.removeAll();
}

INSTANTIATE_TEST_SUITE_P(
    Dates, IconSyncRow,
    ::testing::Values(Row{1, {}, true, 'u'}, Row{{}, {}, true, '-'}, Row{{}, 5, true, 'd'},
                      // A tie goes to the record, which the other machines have.
                      Row{5, 5, true, 'd', 'l'}, Row{6, 5, true, 'u', 'r'}, Row{5, 6, true, 'd', 'l'},
                      Row{29, -1, true, 'd', 'l'}, Row{9, 5, false, 'u', 'r'},
                      // The same drawing on both sides is no conflict, whatever the dates.
                      Row{9, 5, true, '-', 0, wide},
                      // Another machine's file that would not pass as a local icon.
                      Row{1, 9, true, '-', 0, "<html/>"},
                      Row{{}, 9, true, '-', 0, svg("blue").leftJustified(SvgIconLimits::maxFileBytes + 1, ' ')},
                      // The profiles record is not an icon's to overwrite.
                      Row{9, 5, true, '-', 0, svg("blue"), "VelmorProfiles"}));

// Names are handled in plain order, one at a time, going on past silent failures; an
// object that is gone ends its sync at the next step.
TEST_F(CloudKitIconSyncTest, OneIconPerBaseNameInPlainOrderOneAfterAnother)
{
    for (const char* name : {"ct", "CT", "b"})
        writeIcon(name, svg("red"), at(1));
    auto doomed = std::make_unique<CloudKitIconSync>(*cloud.localClient()->privateCloudDatabase(), icons.path());
    cloud.failNext(Call::fetchRecord, Error(Error::Code::serviceUnavailable));
    cloud.failNext(Call::saveRecord, Error(Error::Code::serverRecordChanged));
    cloud.setHolding(true);
    doomed->syncIcons({"b", "icons/ct.svg", "ct", "CT.svg", "ct.svg"});
    for (const char* expected : {"fetchRecord CT", "fetchRecord b", "saveRecord b"}) {
        queue->runUntilIdle();
        ASSERT_EQ(cloud.heldCalls(), QStringList{expected});
        cloud.releaseAll();
    }
    queue->runUntilIdle();
    doomed.reset();
    cloud.releaseAll();
    queue->runUntilIdle();
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), 3);
    EXPECT_EQ(cloud.callCount(Call::saveRecord), 1);
}

TEST_F(CloudKitIconSyncTest, NamesEntriesAndFailuresThatCannotBeSyncedAreSkipped)
{
    sync({"", ".svg", "..svg", ".hidden.svg", "a\\b.svg", QString("tab\tname.svg")});
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), 0);

    // A pipe would stall the upload; a folder or a file over 1 MiB no machine would take;
    // a link could send any file of the user's.
    ASSERT_EQ(::mkfifo(QFile::encodeName(icon("pipe")).constData(), 0600), 0);
    QDir(icons.path()).mkdir("folder.svg");
    writeIcon("big", svg("red").leftJustified(SvgIconLimits::maxFileBytes + 1, ' '), at(1));
    writeIcon("max", svg("red").leftJustified(SvgIconLimits::maxFileBytes, ' '), at(1));
    test::writeFile(remoteFiles.filePath("private"), svg("red"));
    ASSERT_TRUE(QFile::link(remoteFiles.filePath("private"), icon("link")));
    sync({"pipe", "folder", "big", "max", "link"});
    EXPECT_EQ(cloud.callCount(Call::saveRecord), 1);

    // A newer file the user saves while the record is on its way is kept.
    putIcon("e", svg("red"), at(40));
    cloud.setHolding(true);
    iconSync.syncIcons({"e"});
    writeIcon("e", svg("blue"), at(41));
    cloud.setHolding(false);
    cloud.releaseAll();
    queue->runUntilIdle();
    EXPECT_EQ(test::readFile(icon("e")), svg("blue"));
}

// Icons are drawn by the icon renderer: what is refused, overruns or crashes is neither
// uploaded nor downloaded, and the renderer tells each document once; a later sync
// neither draws nor tells it again.
TEST_F(CloudKitIconSyncTest, IconsThatCannotBeDrawnAreLeftOutAndToldOnceByTheRenderer)
{
    QStringList reported;
    iconSync.setRefusalHandler([&](const QString& description) { reported << description; });
    QStringList told;
    QList<IconOrigin> origins;
    renderer.setFailureHandler([&](IconOrigin origin, const QString& description) {
        told << description;
        origins << origin;
    });
    renderer.endings.insert(svg("red"), IconRenderOutcome::overran);
    renderer.endings.insert(svg("green"), IconRenderOutcome::crashed);
    putIcon("slow", svg("red"), at(5));
    putIcon("page", "<html/>", at(5));
    writeIcon("bad", svg("green"), at(5));
    writeIcon("text", "not an icon", at(5));
    writeIcon("up", svg("blue"), at(5));
    for (int round = 0; round < 2; ++round)
        sync({"bad", "page", "slow", "text", "up"});

    EXPECT_FALSE(QFileInfo::exists(icon("slow")));
    EXPECT_FALSE(QFileInfo::exists(icon("page")));
    EXPECT_FALSE(cloud.storedRecord("bad"));
    EXPECT_FALSE(cloud.storedRecord("text"));
    EXPECT_FALSE(assetBytes(cloud.storedRecord("up"), "pngAsset").isEmpty());
    EXPECT_EQ(renderer.drawings, 5);
    ASSERT_EQ(told.size(), 4);
    EXPECT_EQ(origins, QList<IconOrigin>(4, IconOrigin::sync)) << "told under the sync's title";
    EXPECT_TRUE(told[0].contains("“bad.svg”"));
    EXPECT_TRUE(told[1].contains("“page.svg”"));
    EXPECT_TRUE(told[2].contains("“slow.svg”"));
    EXPECT_TRUE(told[3].contains("“text.svg”"));
    EXPECT_TRUE(reported.isEmpty());
}

// A cloud folder entry that is damaged, refused or cannot be written needs the user:
// it is handed on, once per icon and problem. Conflicts and outages stay silent; the
// next sync compares again.
TEST_F(CloudKitIconSyncTest, DamagedAndRefusedEntriesAreReportedOnce)
{
    QStringList reported;
    iconSync.setRefusalHandler([&](const QString& description) { reported << description; });
    writeIcon("a", svg("red"), at(1));
    cloud.failNext(Call::fetchRecord, Error(Error::Code::serviceUnavailable, "outage"));
    cloud.failNext(Call::saveRecord, Error(Error::Code::serverRecordChanged, "conflict"));
    sync({"a"});
    sync({"a"});
    EXPECT_TRUE(reported.isEmpty());

    cloud.failNext(Call::fetchRecord, Error(Error::Code::permissionFailure, "“assets/a” is a symbolic link"));
    sync({"a"});
    cloud.failNext(Call::saveRecord, Error(Error::Code::permissionFailure, "No space left on device"));
    sync({"a"});
    // Named by the icon, with what comes next.
    const auto refused = [](const QString& reason) {
        return "The icon “a” could not be synced: " + reason + ". The next sync tries again.";
    };
    EXPECT_EQ(reported, QStringList({refused("“assets/a” is a symbolic link"), refused("No space left on device")}));

    // The same problem at every sync is told once; once the icon syncs, it may be told again.
    const QString damaged = "The record “a” in the cloud folder is damaged (bad file name in “svgAsset”).";
    reported.clear();
    for (int i = 0; i < 3; ++i) {
        cloud.failNext(Call::fetchRecord, Error(Error::Code::internalError, damaged));
        sync({"a"});
    }
    cloud.failNext(Call::fetchRecord, Error(Error::Code::serverRejectedRequest, "too large"));
    sync({"a"});
    sync({"a"});
    cloud.failNext(Call::fetchRecord, Error(Error::Code::internalError, damaged));
    sync({"a"});
    EXPECT_EQ(reported, QStringList({damaged, refused("too large"), damaged}));
}

// On a real shared folder: a record whose file name leads out of the folder is told
// once, and the local icon is left as it is.
TEST_F(CloudKitIconSyncTest, AHostileRecordInASharedFolderIsReportedOnce)
{
    const QTemporaryDir share;
    const auto container = FolderContainer::create("iCloud.Velmor", {share.path(), true}, {QUuid::createUuid()});
    CloudKitIconSync folderSync{*container->privateCloudDatabase(), icons.path(), temporary.path()};
    QStringList reported;
    folderSync.setRefusalHandler([&](const QString& description) { reported << description; });
    writeIcon("gear", svg("green"), at(5));
    folderSync.syncIcons({"gear"});
    queue->runUntilIdle();
    ASSERT_TRUE(reported.isEmpty()) << reported.join('\n').toStdString();

    const QString record = share.filePath("records/gear.json");
    QByteArray bytes = test::readFile(record);
    const qsizetype at = bytes.indexOf("\"asset\"");
    ASSERT_GE(at, 0);
    const qsizetype open = bytes.indexOf('"', bytes.indexOf(':', at) + 1);
    bytes.replace(open + 1, bytes.indexOf('"', open + 1) - open - 1, "../../outside.svg");
    test::writeFile(record, bytes);
    for (int i = 0; i < 2; ++i) {
        folderSync.syncIcons({"gear"});
        queue->runUntilIdle();
    }
    ASSERT_EQ(reported.size(), 1);
    EXPECT_TRUE(reported.at(0).contains("“gear”") && reported.at(0).contains("is damaged")) << reported.at(0).toStdString();
    EXPECT_EQ(test::readFile(icon("gear")), svg("green"));
}

// Two machines' icon syncs on one shared cloud folder: an icon made on one arrives
// whole on the other, read from the copy its fetch made.
TEST_F(CloudKitIconSyncTest, AnIconCrossesTwoMachinesThroughASharedFolder)
{
    const QTemporaryDir share;
    const QTemporaryDir otherIcons;
    const auto client = [&] {
        return FolderContainer::create("iCloud.Velmor", {share.path(), true}, {QUuid::createUuid()});
    };
    const auto first = client();
    const auto second = client();
    CloudKitIconSync made{*first->privateCloudDatabase(), icons.path(), temporary.path()};
    CloudKitIconSync taken{*second->privateCloudDatabase(), otherIcons.path(), temporary.path()};
    writeIcon("gear", svg("green"), at(5));
    made.syncIcons({"gear"});
    queue->runUntilIdle();
    taken.syncIcons({"gear"});
    queue->runUntilIdle();
    EXPECT_EQ(test::readFile(otherIcons.filePath("gear.svg")), svg("green"));

    // A newer version made on the second machine goes back the other way.
    test::writeFile(otherIcons.filePath("gear.svg"), svg("blue"));
    QFile file(otherIcons.filePath("gear.svg"));
    ASSERT_TRUE(file.open(QIODevice::Append) && file.setFileTime(at(50), QFileDevice::FileModificationTime));
    file.close();
    taken.syncIcons({"gear"});
    queue->runUntilIdle();
    made.syncIcons({"gear"});
    queue->runUntilIdle();
    EXPECT_EQ(test::readFile(icon("gear")), svg("blue"));
}

} // namespace
