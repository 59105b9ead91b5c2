// The transfers of CloudKitIconSync: uploads, downloads and the drawings kept beside an icon.

#include "model/CustomIcon.h"
#include "model/CustomIconLibrary.h"
#include "model/SvgIconImage.h"
#include "platform/FileNames.h"
#include "store/FileSystem.h"
#include "sync/CloudKitIconSync.h"
#include "sync/CloudKitIconSyncParts.h"
#include "sync/IconFolder.h"
#include "sync/IconRenderCall.h"
#include "sync/IconSyncTexts.h"

#include <QBuffer>
#include <QPainter>
#include <QTemporaryFile>

#include <algorithm>

namespace velmor {

namespace {

// "<name> <n>.svg", cut to leave room for a temporary name beside it.
QString numberedName(const QString& baseName, int n)
{
    const QString tail = u' ' + QString::number(n) + QStringLiteral(".svg");
    const qsizetype room = maxFileNameBytes - LocalFileSystem::maxTemporarySuffixBytes - tail.toUtf8().size();
    return leftUtf8Bytes(baseName, room) + tail;
}

// Numbered names tried for a kept drawing before giving up.
constexpr int maxKeptNumber = 1000;

enum class Keeping { keep, nothingToKeep, wait };

// Only the check's refusal says that the other side's drawing is no drawing: one that
// was not checked (no drawing program, a check killed from outside, one stopped by a
// time limit or failing) is still someone's drawing, kept like any other.
Keeping keepingAfterCheck(IconRenderOutcome outcome)
{
    switch (outcome) {
    case IconRenderOutcome::refused:
        return Keeping::nothingToKeep;
    case IconRenderOutcome::cancelled:
        return Keeping::wait;
    case IconRenderOutcome::drawn:
    case IconRenderOutcome::overran:
    case IconRenderOutcome::crashed:
    case IconRenderOutcome::unavailable:
        break;
    }
    return Keeping::keep;
}

} // namespace

QCoro::Task<> CloudKitIconSync::uploadIcon(Icon icon, Local local, std::optional<cloud::Record> fetched,
                                           std::optional<Remote> keep)
{
    const std::weak_ptr<const int> alive = alive_;
    // The temporary files go on the queue that made them, whatever becomes of the sync.
    const IconFolderWrites writes = writes_;
    if (!local.bytes) {
        files::FileRead read = folder_->read(icon.file, SvgIconLimits::maxFileBytes);
        // Changed since it was looked at: the next sync compares it again.
        if (!read.bytes || folder_->stamp(icon.file) != local.stamp)
            co_return;
        local.bytes = std::move(read.bytes);
    }
    // g++ 12: no temporaries in the awaited call.
    const QByteArray document = *local.bytes;
    const QString fileName = icon.file;
    const IconRenderResult drawn = co_await renderIcon(IconRenderer::shared(), document, previewSide, fileName);
    if (alive.expired())
        co_return;
    // What no machine could draw stays here (the renderer has told the user); without the
    // drawing program the icon still goes, keeping the record's preview.
    if (drawn.outcome != IconRenderOutcome::drawn && drawn.outcome != IconRenderOutcome::unavailable)
        co_return;
    // The record's drawing is kept here before the save replaces it.
    if (keep && keep->document) {
        const QByteArray theirs = *keep->document;
        const QDateTime date = keep->date;
        const bool kept = co_await keepBeside(icon, theirs, date);
        if (alive.expired() || !kept)
            co_return;
    }
    // The preview and the files to upload are made away from the main thread. The bytes
    // compared go up, whatever the file holds by the time the database copies it.
    auto prepare = writes_.run<UploadFiles>(
        [image = drawn.outcome == IconRenderOutcome::drawn ? drawn.image : QImage(), document,
         folder = temporaryDirectory_, name = icon.record] {
            UploadFiles made;
            if (!image.isNull())
                made.preview = makePNGFile(folder, name, image);
            made.svg = temporaryFile(folder, name, QStringLiteral(".svg"), document);
            return made;
        });
    const cloudkit::Reply<UploadFiles> prepared = co_await prepare;
    const std::optional<QString> preview = prepared.value->preview;
    const std::optional<QString> svg = prepared.value->svg;
    QStringList made;
    for (const std::optional<QString>& file : {preview, svg})
        if (file)
            made.append(*file);
    if (alive.expired()) {
        writes.remove(made);
        co_return;
    }
    if (!svg)
        notices_.problem(icon.record,
                         iconCloudRefusalText(icon.record, QStringLiteral("no copy to upload could be made in “%1”.")
                                                               .arg(QDir::toNativeSeparators(temporaryDirectory_))),
                         IconProblem::notWritten);
    if (svg) {
        cloud::Record record = fetched ? std::move(*fetched) : cloud::Record(recordType, icon.record);
        record.setValue(svgAssetKey, cloud::Asset{*svg});
        // Without a new preview the record keeps the one it has, if any.
        if (preview)
            record.setValue(pngAssetKey, cloud::Asset{*preview});
        record.setValue(updatedAtKey, local.date.isValid() ? local.date : QDateTime::currentDateTimeUtc());
        try {
            const cloud::Record saved = co_await saveRecord(std::move(record));
            if (!alive.expired())
                settled(icon, {icon.file, *local.hash, saved.recordChangeTag(), local.stamp});
        } catch (const cloud::Error& error) {
            if (!alive.expired())
                reportRefusal(icon.record, error);
        } catch (...) {
        }
    }
    writes.remove(made);
}

QCoro::Task<> CloudKitIconSync::downloadIcon(Icon icon, Local local, cloud::Record record, Remote remote,
                                             bool keepLocal)
{
    const std::weak_ptr<const int> alive = alive_;
    if (!remote.document) {
        const std::optional<cloud::Asset> asset = record.asset(svgAssetKey);
        remote.document = files::readRegular(asset->filePath, SvgIconLimits::maxFileBytes).bytes;
        if (!remote.document || IconSyncBase::hashOf(*remote.document) != remote.hash)
            co_return;
    }
    // Another machine's file gets the same checks as a local custom icon; the windows
    // then find its image already drawn.
    const QByteArray document = *remote.document;
    const QString fileName = icon.file;
    const bool drawable = co_await draws(document, fileName);
    if (alive.expired() || !drawable)
        co_return;
    std::optional<KeptName> kept;
    if (keepLocal) {
        if (!local.bytes)
            local.bytes = folder_->read(icon.file, SvgIconLimits::maxFileBytes).bytes;
        if (!local.bytes)
            co_return;
        const QString recordName = icon.record;
        const QByteArray mine = *local.bytes;
        kept = co_await keptName(recordName, mine);
        if (alive.expired() || !kept)
            co_return;
    }
    const QString keepAs = kept && !kept->alreadyKept ? kept->fileName : QString();
    if (!keepAs.isEmpty())
        keptCopies_.add(keepAs, IconSyncBase::hashOf(*local.bytes));
    auto write = writes_.replace(icon.file, document, remote.date, local.stamp, keepAs);
    const cloudkit::Reply<IconFolder::Written> reply = co_await write;
    if (alive.expired())
        co_return;
    const IconFolder::Written& written = *reply.value;
    if (!keepAs.isEmpty())
        keptCopyWritten(keepAs, written.written);
    if (!written.written) {
        if (!written.error.isEmpty())
            notices_.problem(icon.record, iconWriteFailureText(icon.file, iconsDirectory_, written.error),
                             IconProblem::notWritten);
        co_return;
    }
    settled(icon, {icon.file, *remote.hash, record.recordChangeTag(), written.stamp});
    CustomIconLibrary::shared().iconFilesChanged();
}

QCoro::Task<bool> CloudKitIconSync::draws(QByteArray document, QString fileName)
{
    const IconRenderResult drawn =
        co_await renderIcon(IconRenderer::shared(), document, SvgIconLimits::imageSide, fileName);
    co_return drawn.outcome == IconRenderOutcome::drawn;
}

QCoro::Task<std::optional<CloudKitIconSync::KeptName>> CloudKitIconSync::keptName(QString recordName,
                                                                                   QByteArray document)
{
    const std::weak_ptr<const int> alive = alive_;
    for (int n = 2; n < maxKeptNumber; ++n) {
        const QString name = numberedName(recordName, n);
        const files::FileStamp stamp = folder_->stamp(name);
        if (stamp.kind == files::FileKind::regular &&
            folder_->read(name, SvgIconLimits::maxFileBytes).bytes == document)
            co_return KeptName{name, true};
        if (!freeHere(name))
            continue;
        // Nor one that another spelling of ".svg" holds: that is one icon with it.
        if (customIconFileIn(folder_->path(), name) != name)
            continue;
        // Nor the name of an icon in the cloud, which a tool may use.
        // g++ 12: no temporaries in the awaited call.
        const QString numbered = iconBaseName(name);
        const std::optional<bool> free = co_await freeInCloud(numbered);
        if (alive.expired() || !free)
            co_return std::nullopt;
        if (*free && freeHere(name))
            co_return KeptName{name, false};
    }
    co_return std::nullopt;
}

bool CloudKitIconSync::freeHere(const QString& fileName) const
{
    const QString base = iconBaseName(fileName);
    // Every spelling of ".svg": one record, whichever a tool names.
    return !localIconURL(base) && !base_.entry(base) && !named_.contains(base) && !keptCopies_.contains(fileName);
}

QCoro::Task<std::optional<bool>> CloudKitIconSync::freeInCloud(QString recordName)
{
    try {
        const std::optional<cloud::Record> found = co_await fetchRecord(recordName);
        co_return !found.has_value();
    } catch (const cloud::Error& error) {
        // A record there that cannot be read takes the name; an outage leaves it unknown.
        if (isRecordRefusal(error))
            co_return false;
        co_return std::nullopt;
    } catch (...) {
        co_return std::nullopt;
    }
}

QCoro::Task<bool> CloudKitIconSync::keepBeside(Icon icon, QByteArray document, QDateTime date)
{
    const std::weak_ptr<const int> alive = alive_;
    const QString fileName = icon.file;
    const IconRenderResult checked =
        co_await renderIcon(IconRenderer::shared(), document, SvgIconLimits::imageSide, fileName);
    if (alive.expired())
        co_return false;
    switch (keepingAfterCheck(checked.outcome)) {
    case Keeping::nothingToKeep:
        co_return true;
    case Keeping::wait:
        co_return false;
    case Keeping::keep:
        break;
    }
    const QString recordName = icon.record;
    const std::optional<KeptName> kept = co_await keptName(recordName, document);
    if (alive.expired() || !kept)
        co_return false;
    if (kept->alreadyKept)
        co_return true;
    const QString keptFile = kept->fileName;
    keptCopies_.add(keptFile, IconSyncBase::hashOf(document));
    auto write = writes_.replace(keptFile, document, date, {});
    const cloudkit::Reply<IconFolder::Written> reply = co_await write;
    if (alive.expired())
        co_return false;
    const IconFolder::Written& written = *reply.value;
    keptCopyWritten(keptFile, written.written);
    if (!written.written) {
        if (!written.error.isEmpty())
            notices_.problem(icon.record, iconWriteFailureText(keptFile, iconsDirectory_, written.error),
                             IconProblem::notWritten);
        co_return false;
    }
    co_return true;
}

void CloudKitIconSync::keptCopyWritten(const QString& fileName, bool made)
{
    if (made)
        notices_.kept(fileName);
    else
        keptCopies_.remove(fileName);
}

std::optional<QString> CloudKitIconSync::makePNGFile(const QString& folder, const QString& name, const QImage& image)
{
    const std::optional<QByteArray> png = renderPNG(image, previewSide);
    return png ? temporaryFile(folder, name, QStringLiteral(".png"), *png) : std::nullopt;
}

std::optional<QString> CloudKitIconSync::temporaryFile(const QString& folder, const QString& name,
                                                       const QString& suffix, const QByteArray& bytes)
{
    // A name of its own, so two syncs of one icon never share (and remove) one file, cut so
    // that it fits whatever the icon's name.
    const QString tail = QStringLiteral("-velmor-XXXXXX") + suffix;
    const QString start = leftUtf8Bytes(name, maxFileNameBytes - 32 - tail.size());
    QTemporaryFile file(QDir(folder).filePath(start + tail));
    file.setAutoRemove(false);
    if (!file.open())
        return std::nullopt;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
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

} // namespace velmor
