#include "model/IconRenderCache.h"

#include "platform/RegularFile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <vector>

namespace velmor {

namespace {

const QByteArray pngMagic("\x89PNG\r\n\x1a\n", 8);

QByteArray outcomeWord(IconRenderOutcome outcome)
{
    switch (outcome) {
    case IconRenderOutcome::refused:
        return "refused";
    case IconRenderOutcome::overran:
        return "overran";
    case IconRenderOutcome::crashed:
        return "crashed";
    default:
        return {};
    }
}

// An entry is small: a PNG of at most the largest icon side, or a word.
constexpr qint64 maxEntryBytes = 4 * 1024 * 1024;

} // namespace

IconRenderCache::IconRenderCache(QString directory, Limits limits) : directory_(std::move(directory)), limits_(limits) {}

QString IconRenderCache::key(const QByteArray& document, int side)
{
    const QByteArray hash = QCryptographicHash::hash(document, QCryptographicHash::Sha256).toHex();
    return QString::fromLatin1(hash) + u'-' + QString::number(side);
}

std::optional<IconRenderResult> IconRenderCache::find(const QString& key) const
{
    const std::optional<QByteArray> bytes = files::readRegularFile(QDir(directory_).filePath(key), maxEntryBytes);
    if (!bytes)
        return std::nullopt;
    if (bytes->startsWith(pngMagic)) {
        QImage image = QImage::fromData(*bytes, "PNG");
        if (image.isNull())
            return std::nullopt;
        return IconRenderResult{IconRenderOutcome::drawn,
                                image.convertToFormat(QImage::Format_ARGB32_Premultiplied)};
    }
    for (const IconRenderOutcome outcome :
         {IconRenderOutcome::refused, IconRenderOutcome::overran, IconRenderOutcome::crashed})
        if (*bytes == outcomeWord(outcome))
            return IconRenderResult{outcome, {}};
    return std::nullopt;
}

void IconRenderCache::store(const QString& key, const IconRenderResult& result)
{
    QByteArray bytes;
    if (result.outcome == IconRenderOutcome::drawn) {
        QBuffer buffer(&bytes);
        if (!buffer.open(QIODevice::WriteOnly) || !result.image.save(&buffer, "PNG"))
            return;
    } else {
        bytes = outcomeWord(result.outcome);
        if (bytes.isEmpty())
            return;
    }

    const QMutexLocker lock(&mutex_);
    loadIndex();
    if (!QDir().mkpath(directory_))
        return;
    QSaveFile file(QDir(directory_).filePath(key));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return;
    bytes_ -= index_.value(key).bytes;
    latestMs_ = std::max(QDateTime::currentMSecsSinceEpoch(), latestMs_ + 1);
    index_.insert(key, {bytes.size(), latestMs_});
    bytes_ += bytes.size();
    trim();
}

void IconRenderCache::loadIndex()
{
    if (indexed_)
        return;
    indexed_ = true;
    const QDir dir(directory_);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::NoSymLinks)) {
        const qint64 writtenMs = entry.lastModified().toMSecsSinceEpoch();
        index_.insert(entry.fileName(), {entry.size(), writtenMs});
        bytes_ += entry.size();
        latestMs_ = std::max(latestMs_, writtenMs);
    }
}

void IconRenderCache::trim()
{
    if (index_.size() <= limits_.maxEntries && bytes_ <= limits_.maxBytes)
        return;
    std::vector<std::pair<qint64, QString>> byAge;
    byAge.reserve(index_.size());
    for (auto it = index_.cbegin(); it != index_.cend(); ++it)
        byAge.emplace_back(it->writtenMs, it.key());
    std::sort(byAge.begin(), byAge.end());
    for (const auto& [writtenMs, name] : byAge) {
        if (index_.size() <= limits_.maxEntries && bytes_ <= limits_.maxBytes)
            break;
        QFile::remove(QDir(directory_).filePath(name));
        bytes_ -= index_.take(name).bytes;
    }
}

QString defaultIconRenderCacheDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Velmor/IconRenders");
}

} // namespace velmor
