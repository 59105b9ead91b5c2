#include "sync/CloudKitIconSync.h"

#include "model/CustomIconLibrary.h"
#include "model/SvgIconImage.h"
#include "platform/FileNames.h"
#include "platform/RegularFile.h"
#include "sync/CloudKitCalls.h"
#include "sync/IconRenderCall.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QTemporaryFile>

#include <algorithm>
#include <utility>

namespace velmor {

namespace {

enum class IconAction { nothing, upload, download };

// The later file date wins; a record that lacks either file is made whole from the
// local one; an unknown date counts as older than a known local file.
IconAction decide(const std::optional<cloud::Record>& record, bool localPresent,
                  const std::optional<QDateTime>& localDate)
{
    if (!record)
        return localPresent ? IconAction::upload : IconAction::nothing;
    // Another kind of record under the icon's name (the profiles record, say) is
    // never the icon's to read or to overwrite.
    if (record->recordType() != CloudKitIconSync::recordType)
        return IconAction::nothing;
    const bool hasSvg = record->asset(CloudKitIconSync::svgAssetKey).has_value();
    if (!localPresent)
        return hasSvg ? IconAction::download : IconAction::nothing;
    if (!hasSvg || !record->asset(CloudKitIconSync::pngAssetKey))
        return IconAction::upload;
    const std::optional<QDateTime> remote = CloudKitIconSync::remoteDate(*record);
    if (!localDate || !remote || *localDate > *remote)
        return IconAction::upload;
    return *remote > *localDate ? IconAction::download : IconAction::nothing;
}

// What other machines would accept as an icon file at all; a pipe or a folder under
// the icon's name would also stall or fail the upload.
bool isUploadable(const QString& path)
{
    // A link in the icons folder could lead to any file of the user's: never sent.
    const files::FileStamp stamp = files::fileStamp(path);
    return stamp.kind == files::FileKind::regular && stamp.size <= SvgIconLimits::maxFileBytes;
}

} // namespace

CloudKitIconSync::CloudKitIconSync(cloud::Database& database, QString iconsDirectory, QString temporaryDirectory)
    : database_(database),
      iconsDirectory_(std::move(iconsDirectory)),
      temporaryDirectory_(std::move(temporaryDirectory))
{
}

QCoro::Task<> CloudKitIconSync::syncIcons(QStringList names)
{
    QStringList baseNames;
    for (const QString& name : std::as_const(names))
        baseNames << iconBaseName(name);
    baseNames.removeDuplicates();
    std::sort(baseNames.begin(), baseNames.end());

    const std::weak_ptr<const int> alive = alive_;
    for (const QString& baseName : std::as_const(baseNames)) {
        if (alive.expired())
            co_return;
        co_await syncIcon(baseName);
    }
}

QCoro::Task<> CloudKitIconSync::syncIcon(QString baseName)
{
    // The name becomes a file name in the icons folder and a record name.
    if (!isPlainFileName(baseName))
        co_return;
    const std::weak_ptr<const int> alive = alive_;
    const std::optional<QString> localFile = localIconURL(baseName);
    const std::optional<QDateTime> localDate = localFile ? fileModificationDate(*localFile) : std::nullopt;

    std::optional<cloud::Record> record;
    try {
        record = co_await fetchRecord(baseName);
    } catch (const cloud::Error& error) {
        if (!alive.expired())
            reportRefusal(baseName, error);
        co_return;
    } catch (...) {
        co_return;
    }
    if (alive.expired())
        co_return;

    switch (decide(record, localFile.has_value(), localDate)) {
    case IconAction::upload:
        co_await uploadIcon(baseName, *localFile, localDate.value_or(QDateTime::currentDateTimeUtc()), record);
        break;
    case IconAction::download:
        co_await downloadIcon(std::move(*record), baseName);
        if (!alive.expired())
            reported_.remove(baseName);
        break;
    case IconAction::nothing:
        reported_.remove(baseName);
        break;
    }
}

void CloudKitIconSync::reportRefusal(const QString& name, const cloud::Error& error)
{
    using Code = cloud::Error::Code;
    // Conflicts, outages and a missing account pass; the next sync compares again.
    switch (error.code()) {
    case Code::internalError:
    case Code::permissionFailure:
    case Code::serverRejectedRequest:
    case Code::assetFileNotFound:
    case Code::invalidArguments:
        break;
    default:
        return;
    }
    report(name, error.localizedDescription());
}

void CloudKitIconSync::report(const QString& name, const QString& description)
{
    if (reported_.value(name) == description)
        return;
    reported_.insert(name, description);
    if (onRefusal_)
        onRefusal_(description);
}

QString CloudKitIconSync::iconBaseName(const QString& name)
{
    QStringView path(name);
    while (path.endsWith(u'/'))
        path.chop(1);
    QStringView last = path.mid(path.lastIndexOf(u'/') + 1);
    // A leading dot starts a hidden name, not an extension.
    if (const qsizetype dot = last.lastIndexOf(u'.'); dot > 0)
        last.truncate(dot);
    return last.toString();
}

std::optional<QString> CloudKitIconSync::localIconURL(const QString& baseName) const
{
    const QString path = QDir(iconsDirectory_).filePath(baseName + QStringLiteral(".svg"));
    if (!QFileInfo::exists(path))
        return std::nullopt;
    return path;
}

std::optional<QDateTime> CloudKitIconSync::fileModificationDate(const QString& path)
{
    const QDateTime date = QFileInfo(path).lastModified();
    if (!date.isValid())
        return std::nullopt;
    return date.toUTC();
}

std::optional<QDateTime> CloudKitIconSync::remoteDate(const cloud::Record& record)
{
    if (auto updatedAt = record.date(updatedAtKey))
        return updatedAt;
    return record.modificationDate();
}

QCoro::Task<std::optional<cloud::Record>> CloudKitIconSync::fetchRecord(QString recordName)
{
    // The owner keeps the database alive for as long as this object; the call only
    // needs to reach it, so the handle owns nothing.
    std::shared_ptr<cloud::Database> database(std::shared_ptr<cloud::Database>(), &database_);
    co_return co_await cloudkit::fetchRecord(std::move(database), std::move(recordName));
}

QCoro::Task<cloud::Record> CloudKitIconSync::saveRecord(cloud::Record record)
{
    std::shared_ptr<cloud::Database> database(std::shared_ptr<cloud::Database>(), &database_);
    co_return co_await cloudkit::saveRecord(std::move(database), std::move(record));
}

QCoro::Task<> CloudKitIconSync::uploadIcon(QString name, QString fileURL, QDateTime updatedAt,
                                           std::optional<cloud::Record> fetched)
{
    if (!isUploadable(fileURL))
        co_return;
    const std::weak_ptr<const int> alive = alive_;
    std::optional<QString> preview;
    if (const std::optional<QByteArray> document = readSvgIconFile(fileURL)) {
        // g++ 12: no temporaries in the awaited call.
        const QString fileName = QFileInfo(fileURL).fileName();
        const IconRenderResult drawn = co_await renderIcon(IconRenderer::shared(), *document, previewSide, fileName);
        if (alive.expired())
            co_return;
        // What no machine could draw stays here (the renderer has told the user); without
        // the drawing program the icon still goes, keeping the record's preview.
        if (drawn.outcome == IconRenderOutcome::drawn)
            preview = makePNGFile(name, drawn.image);
        else if (drawn.outcome != IconRenderOutcome::unavailable)
            co_return;
    }
    cloud::Record record = fetched ? std::move(*fetched) : cloud::Record(recordType, name);
    record.setValue(svgAssetKey, cloud::Asset{fileURL});
    // Without a new preview the record keeps the one it has, if any.
    if (preview)
        record.setValue(pngAssetKey, cloud::Asset{*preview});
    record.setValue(updatedAtKey, updatedAt);

    try {
        co_await saveRecord(std::move(record));
        if (!alive.expired())
            reported_.remove(name);
    } catch (const cloud::Error& error) {
        if (!alive.expired())
            reportRefusal(name, error);
    } catch (...) {
    }
    if (preview)
        QFile::remove(*preview);
}

std::optional<QString> CloudKitIconSync::makePNGFile(const QString& name, const QImage& image) const
{
    const std::optional<QByteArray> png = renderPNG(image, previewSide);
    if (!png)
        return std::nullopt;
    // A name of its own, so two syncs of one icon never share (and remove) one file.
    QTemporaryFile file(QDir(temporaryDirectory_).filePath(name + QStringLiteral("-velmor-XXXXXX.png")));
    file.setAutoRemove(false);
    if (!file.open())
        return std::nullopt;
    if (file.write(*png) != png->size() || !file.flush()) {
        file.remove();
        return std::nullopt;
    }
    return file.fileName();
}

std::optional<QByteArray> CloudKitIconSync::renderPNG(const QImage& image, int side)
{
    const double width = image.width();
    const double height = image.height();
    if (side <= 0 || width <= 0 || height <= 0)
        return std::nullopt;
    const double scale = std::min(side / width, side / height);
    const QSizeF drawn(width * scale, height * scale);
    const QRectF target(QPointF((side - drawn.width()) / 2, (side - drawn.height()) / 2), drawn);

    QImage square(side, side, QImage::Format_ARGB32);
    if (square.isNull())
        return std::nullopt;
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
    painter.end();

    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !square.save(&buffer, "PNG"))
        return std::nullopt;
    return png;
}

QCoro::Task<bool> CloudKitIconSync::downloadIcon(cloud::Record record, QString name)
{
    const std::optional<cloud::Asset> asset = record.asset(svgAssetKey);
    if (!isPlainFileName(name) || !asset || asset->filePath.isEmpty())
        co_return false;
    // Another machine's file gets the same checks as a local custom icon; the windows
    // then find its image already drawn.
    const std::optional<QByteArray> document = readSvgIconFile(asset->filePath);
    if (!document)
        co_return false;
    const std::weak_ptr<const int> alive = alive_;
    const QString fileName = name + QStringLiteral(".svg");
    const IconRenderResult drawn =
        co_await renderIcon(IconRenderer::shared(), *document, SvgIconLimits::imageSide, fileName);
    if (alive.expired() || drawn.outcome != IconRenderOutcome::drawn)
        co_return false;
    co_return writeDownloadedIcon(record, name, *document);
}

bool CloudKitIconSync::writeDownloadedIcon(const cloud::Record& record, const QString& name,
                                           const QByteArray& document)
{
    // A local file written while the record was on its way is kept unless it is older.
    const std::optional<QDateTime> date = remoteDate(record);
    if (const std::optional<QString> local = localIconURL(name)) {
        const std::optional<QDateTime> localDate = fileModificationDate(*local);
        if (!date || !localDate || *localDate >= *date)
            return false;
    }

    QDir().mkpath(iconsDirectory_);
    QSaveFile file(QDir(iconsDirectory_).filePath(name + QStringLiteral(".svg")));
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() || !file.flush())
        return false;
    // Dated as the record, so the next comparison finds both sides equal instead of
    // sending the file straight back.
    if (date)
        file.setFileTime(*date, QFileDevice::FileModificationTime);
    if (!file.commit())
        return false;
    customIconImageCache().removeAll();
    return true;
}

} // namespace velmor
