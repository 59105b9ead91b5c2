#pragma once

#include "platform/cloud/Container.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace velmor {

// Carries the custom SVG icons that tools use between the user's machines: one
// "VelmorIcon" record per icon, named by the icon's base name, holding the SVG, a PNG
// preview and the date of the file it was made from. For each icon the side with the
// later file date wins. Icons are handled one after another; every failure affects
// only the icon at hand and leaves the local files as they are. Conflicts and outages
// are silent; a record that is damaged or refused (a FIFO, a bad file name, too large)
// and a cloud folder entry that cannot be written need the user: each goes to the
// refusal handler once, until that icon syncs again or its problem changes. Icons are
// drawn by the process-wide IconRenderer in child processes, which tells each document
// that cannot be drawn once; the main thread never waits for one.
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

    // Receives the description of a damaged, refused or unwritable cloud folder entry.
    using RefusalHandler = std::function<void(const QString& description)>;

    // `temporaryDirectory` holds the PNG previews while they upload.
    CloudKitIconSync(cloud::Database& database, QString iconsDirectory,
                     QString temporaryDirectory = QDir::tempPath());
    void setRefusalHandler(RefusalHandler handler) { onRefusal_ = std::move(handler); }
    CloudKitIconSync(const CloudKitIconSync&) = delete;
    CloudKitIconSync& operator=(const CloudKitIconSync&) = delete;

    // Syncs the icons of these names (with or without ".svg", with or without folders
    // in front: one icon per base name) in ascending base-name order. Names that are not
    // plain file names are skipped. Never throws.
    QCoro::Task<> syncIcons(QStringList names);
    // Compares one icon's local file with its record and uploads, downloads or does
    // nothing. Never throws.
    QCoro::Task<> syncIcon(QString baseName);

    // The icon's name without folders in front and without its extension.
    static QString iconBaseName(const QString& name);
    // The icon's file in the icons folder, or none when nothing is there.
    std::optional<QString> localIconURL(const QString& baseName) const;
    // In UTC; none when it cannot be read.
    static std::optional<QDateTime> fileModificationDate(const QString& path);
    // The "updatedAt" date, else the date the database gave the record.
    static std::optional<QDateTime> remoteDate(const cloud::Record& record);

    // None when the record does not exist; throws cloud::Error for every other failure.
    QCoro::Task<std::optional<cloud::Record>> fetchRecord(QString recordName);
    // The stored record; throws cloud::Error.
    QCoro::Task<cloud::Record> saveRecord(cloud::Record record);

    // Saves the file as the icon's record: over `fetched` when there was one, so the
    // save carries the server's change tag. A file that could not be a custom icon (not
    // a regular file, too large, or refused, overrun or crashed when drawn) is not
    // uploaded. Never throws.
    QCoro::Task<> uploadIcon(QString name, QString fileURL, QDateTime updatedAt, std::optional<cloud::Record> fetched);
    // A temporary PNG preview of the drawn icon, which the caller removes; none when the
    // file cannot be written.
    std::optional<QString> makePNGFile(const QString& name, const QImage& image) const;
    // The image fitted and centred in a transparent square of `side` pixels, as RGBA PNG.
    static std::optional<QByteArray> renderPNG(const QImage& image, int side);
    // Writes the record's SVG as the icon's file, atomically and dated as the record,
    // when it passes the checks of a local custom icon (drawn by the icon renderer) and
    // no local file has become at least as new meanwhile; then empties the custom icon
    // image cache. Whether it wrote. Never throws.
    QCoro::Task<bool> downloadIcon(cloud::Record record, QString name);

private:
    // Hands a problem the user has to mend to the refusal handler, once per icon and problem.
    void reportRefusal(const QString& name, const cloud::Error& error);
    void report(const QString& name, const QString& description);
    bool writeDownloadedIcon(const cloud::Record& record, const QString& name, const QByteArray& document);

    cloud::Database& database_;
    RefusalHandler onRefusal_;
    QString iconsDirectory_;
    QString temporaryDirectory_;
    // The problem last reported for each icon, by base name.
    QHash<QString, QString> reported_;
    // Running syncs hold it weakly and stop once it is gone.
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};

} // namespace velmor
