#pragma once

#include "platform/cloud/Container.h"
#include "sync/IconFolder.h"
#include "sync/IconFolderWrites.h"
#include "sync/IconKeptCopies.h"
#include "sync/IconNotices.h"
#include "sync/IconSyncBase.h"
#include "sync/IconSyncDecision.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace velmor {

// Carries the custom SVG icons that tools use between the user's machines: one
// "VelmorIcon" record per icon, named by the icon's base name, holding the SVG, a PNG
// preview and the date of the file it was made from.
//
// What changed since the last sync decides, never the file dates: each icon's drawing
// and record as last synced are kept (IconSyncBase), a drawing changed on one side goes
// to the other, and when both sides changed it, or no base tells, the later drawing
// stays under the icon's name and the other is kept beside it under a numbered name
// ("scan 2.svg"), the user's file from then on: put on a tool, it goes up as an icon of
// its own; until the user changes it, another machine's record of its name takes its
// place and moves it aside (IconKeptCopies). Downloads are written by
// IconFolder, away from the main thread (IconFolderWrites): never through a link, never
// out of the icons folder, never over a file saved meanwhile. Names follow the custom
// icon rule of the picker (isCustomIconFileName); an icon is one file whatever the
// letter case of its ".svg" (IconSpellings), and another spelling beside it that holds
// another drawing stays here and is told. Icons are handled one after another; every
// failure affects only the icon at hand. Refused saves and outages are silent; what needs
// the user (a damaged or refused record or file, a folder that cannot be written) is
// told once per icon and cause, a pass's problems in one message. Icons are drawn by
// the process-wide IconRenderer in child processes; the main thread never waits for one.
//
// Lives on the main thread. An object destroyed while a sync runs ends that sync at its
// next step; the database must outlive the object.
class CloudKitIconSync {
public:
    static inline const QString recordType = QStringLiteral("VelmorIcon");
    static inline const QString svgAssetKey = QStringLiteral("svgAsset");
    static inline const QString pngAssetKey = QStringLiteral("pngAsset");
    static inline const QString updatedAtKey = QStringLiteral("updatedAt");
    // Side of the square PNG preview, in pixels.
    static constexpr int previewSide = 128;
    // Icons synced between two writes of the base.
    static constexpr int baseWriteInterval = 100;

    // Receives a message for the user: problems, and drawings kept beside their icons.
    using Handler = std::function<void(const QString& message)>;

    // `temporaryDirectory` holds the files while they upload. `baseFolder` keeps the
    // base (beside profiles.json); without one it lives in memory. `folder`: the icons
    // folder's writer, one over `iconsDirectory` when none is given.
    CloudKitIconSync(cloud::Database& database, QString iconsDirectory, QString temporaryDirectory = QDir::tempPath(),
                     QString baseFolder = {}, std::unique_ptr<IconFolder> folder = {});
    ~CloudKitIconSync();
    CloudKitIconSync(const CloudKitIconSync&) = delete;
    CloudKitIconSync& operator=(const CloudKitIconSync&) = delete;

    void setRefusalHandler(Handler handler) { onRefusal_ = std::move(handler); }
    // Receives the message about drawings kept beside their icons, and a line for the log
    // for each of them when the message cannot name them all.
    using KeptHandler = std::function<void(const QString& message, const QStringList& logLines)>;
    void setKeptHandler(KeptHandler handler) { onKept_ = std::move(handler); }
    // Receives the lines for the log of a pass whose message only counts its problems:
    // one for each problem, all at once, before that message.
    using LinesHandler = std::function<void(const QStringList& lines)>;
    void setLogHandler(LinesHandler handler) { onLog_ = std::move(handler); }
    // The cloud account (its user record name) the base is for.
    void setAccount(const QString& account) { base_.setAccount(account); }

    // Syncs these icons and every icon synced before, one pass at a time: requests made
    // while a pass runs, or in the same turn of the main queue, make one pass after it.
    QCoro::Task<> requestSync(QStringList names);
    // One pass over these icons (with or without ".svg", with or without folders in
    // front: one icon per base name) in ascending base-name order. Never throws.
    QCoro::Task<> syncIcons(QStringList names);
    // A first contact with the account: each record's drawing takes the place of a
    // different local one, which is kept beside it; nothing is uploaded. Returns the
    // file names of the kept drawings. Never throws.
    QCoro::Task<QStringList> takeIcons(QStringList names);

    // A quit: the pass under way ends at its next step, keeping what settled, and no
    // pass starts after it; what it did not reach syncs at the next start.
    void stop() { stopped_ = true; }

    // The icon's name without folders in front and without its extension: its record name.
    static QString iconBaseName(const QString& name);
    // The icon's file in the icons folder: the name's last component when it ends in
    // ".svg" in any letter case, else its base name and ".svg".
    static QString iconFileName(const QString& name);
    // The path of the icon's file in the icons folder, in whichever spelling of ".svg" is
    // there first; none when nothing is there under the base name.
    std::optional<QString> localIconURL(const QString& baseName) const;
    // The "updatedAt" date, else the date the database gave the record.
    static std::optional<QDateTime> remoteDate(const cloud::Record& record);

    // None when the record does not exist; throws cloud::Error for every other failure.
    QCoro::Task<std::optional<cloud::Record>> fetchRecord(QString recordName);
    // The stored record; throws cloud::Error.
    QCoro::Task<cloud::Record> saveRecord(cloud::Record record);

    // The image fitted and centred in a transparent square of `side` pixels, as RGBA PNG.
    static std::optional<QByteArray> renderPNG(const QImage& image, int side);

private:
    struct Icon {
        QString record;
        QString file;
    };
    enum class Mode { sync, take };
    struct Local;
    struct Remote;

    QCoro::Task<QList<Icon>> iconsNamed(QStringList names);
    // Tells once of other spellings of the icon's file that hold other drawings.
    void tellSpellings(const Icon& icon, const QStringList& others);
    QCoro::Task<> runPass(QList<Icon> icons, Mode mode);
    QCoro::Task<> syncIcon(Icon icon, Mode mode);
    // What is under the icon's name here; none when it cannot be synced (told).
    std::optional<Local> inspectLocal(const Icon& icon);
    Remote inspectRemote(const Icon& icon, const std::optional<cloud::Record>& record);
    IconSides sidesOf(const Icon& icon, const Local& local, const Remote& remote, Mode mode) const;
    QCoro::Task<> uploadIcon(Icon icon, Local local, std::optional<cloud::Record> record, std::optional<Remote> keep);
    // The preview of a drawn icon as a temporary PNG file.
    std::optional<QString> makePNGFile(const Icon& icon, const QImage& image) const;
    QCoro::Task<> downloadIcon(Icon icon, Local local, cloud::Record record, Remote remote, bool keepLocal);
    // A drawing that draws: the renderer tells the user of one that does not.
    QCoro::Task<bool> draws(QByteArray document, QString fileName);
    // A name beside the icon for a kept drawing: a free one, or one already holding it.
    struct KeptName {
        QString fileName;
        bool alreadyKept = false;
    };
    QCoro::Task<std::optional<KeptName>> keptName(QString recordName, QByteArray document);
    // Writes `document` beside the icon; whether it is kept there now.
    QCoro::Task<bool> keepBeside(Icon icon, QByteArray document, QDateTime date);
    // Whether a name beside the icon is free here: no file of that base name in any
    // spelling of ".svg", no icon synced before or asked for, and no kept copy under it.
    bool freeHere(const QString& fileName) const;
    // Whether the record of a kept copy's name is free in the cloud; none when that is
    // not known now.
    QCoro::Task<std::optional<bool>> freeInCloud(QString recordName);
    // A kept copy is noted before it is made (so that a kill before it is told leaves it
    // known), then told once made, or forgotten when it was not.
    void keptCopyWritten(const QString& fileName, bool made);
    // What the last run kept but did not tell, told with this run's first message.
    void recallUntoldCopies();
    // A new file in `folder` named after `name`; any thread.
    static std::optional<QString> temporaryFile(const QString& folder, const QString& name, const QString& suffix,
                                                const QByteArray& bytes);
    // The icon's preview as a PNG file to upload; any thread.
    static std::optional<QString> makePNGFile(const QString& folder, const QString& name, const QImage& image);
    struct UploadFiles {
        std::optional<QString> preview;
        std::optional<QString> svg;
    };
    void settled(const Icon& icon, IconSyncBase::Entry entry);
    void reportRefusal(const QString& name, const cloud::Error& error);
    void tell();

    cloud::Database& database_;
    Handler onRefusal_;
    KeptHandler onKept_;
    LinesHandler onLog_;
    QString iconsDirectory_;
    QString temporaryDirectory_;
    std::shared_ptr<IconFolder> folder_;
    IconFolderWrites writes_;
    IconSyncBase base_;
    IconKeptCopies keptCopies_;
    IconNotices notices_;
    // The pass under way: its kept drawings, and how many icons settled since the base was written.
    QStringList kept_;
    int settledSinceWrite_ = 0;
    // The record names passes were asked for: a tool may use them, so no copy is kept under them.
    QSet<QString> named_;
    // Names asked for while a pass runs or is about to.
    QStringList requested_;
    bool passing_ = false;
    bool stopped_ = false;
    // Running syncs hold it weakly and stop once it is gone.
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};

} // namespace velmor
