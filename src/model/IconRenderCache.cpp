#include "model/IconRenderCache.h"

#include "model/IconEntryImage.h"
#include "platform/TemporaryFolders.h"

#include <QBuffer>
#include <QDateTime>
#include <QMutexLocker>
#include <QRegularExpression>
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

// A failure is a word and the program's identity.
constexpr qint64 maxWordBytes = 256;

// Entries are named as keys are; nothing else in the folder is the cache's.
bool isEntryName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{64}-[1-9][0-9]{0,3}$"));
    return pattern.match(name).hasMatch();
}

int sideOf(const QString& key) { return key.section(u'-', 1).toInt(); }

} // namespace

IconRenderCache::IconRenderCache(QString directory, Limits limits, QByteArray program, Unused unused)
    : directory_(std::move(directory)),
      limits_(limits),
      program_(std::move(program)),
      unused_(std::move(unused)),
      folder_(CacheFolder::open(directory_))
{
}

std::optional<IconRenderResult> IconRenderCache::find(const QString& key)
{
    if (!isEntryName(key))
        return std::nullopt;
    const QMutexLocker lock(&mutex_);
    const CacheFolder* const entries = folder();
    if (!entries)
        return std::nullopt;
    const int side = sideOf(key);
    const std::optional<QByteArray> bytes =
        entries->read(key, std::max(iconentryimage::maxFileBytes(side), maxWordBytes));
    if (!bytes)
        return std::nullopt;
    if (bytes->startsWith(pngMagic)) {
        std::optional<QImage> image = iconentryimage::decode(*bytes, side);
        if (!image)
            return std::nullopt;
        return IconRenderResult{IconRenderOutcome::drawn, std::move(*image)};
    }
    // "‹word› ‹program›": a failure counts only for the program that met it.
    const qsizetype space = bytes->indexOf(' ');
    if (space < 0 || program_.isEmpty() || bytes->mid(space + 1) != program_)
        return std::nullopt;
    for (const IconRenderOutcome outcome :
         {IconRenderOutcome::refused, IconRenderOutcome::overran, IconRenderOutcome::crashed})
        if (bytes->left(space) == outcomeWord(outcome))
            return IconRenderResult{outcome, {}};
    return std::nullopt;
}

void IconRenderCache::store(const QString& key, const IconRenderResult& result)
{
    QByteArray bytes;
    if (result.outcome == IconRenderOutcome::drawn) {
        // The pixels alone: no text or colour space of the image becomes a chunk the
        // reader would refuse.
        const QImage& image = result.image;
        QImage pixels(image.constBits(), image.width(), image.height(), image.bytesPerLine(), image.format());
        pixels.setColorTable(image.colorTable());
        QBuffer buffer(&bytes);
        if (!buffer.open(QIODevice::WriteOnly) || !pixels.save(&buffer, "PNG"))
            return;
    } else {
        const QByteArray word = outcomeWord(result.outcome);
        if (word.isEmpty() || program_.isEmpty())
            return;
        bytes = word + ' ' + program_;
    }
    if (!isEntryName(key))
        return;

    const QMutexLocker lock(&mutex_);
    const CacheFolder* const entries = folder();
    if (!entries || !entries->write(key, bytes))
        return;
    bytes_ -= index_.value(key).bytes;
    latestMs_ = std::max(QDateTime::currentMSecsSinceEpoch(), latestMs_ + 1);
    index_.insert(key, {bytes.size(), latestMs_});
    bytes_ += bytes.size();
    trim();
}

const CacheFolder* IconRenderCache::folder()
{
    if (usable_)
        return *usable_ ? &folder_ : nullptr;
    usable_ = false;
    QString refusal = folder_.refusal();
    const QList<CacheFolder::Entry> files = folder_.regularFiles();
    for (const CacheFolder::Entry& entry : files)
        if (!entry.mine && isEntryName(entry.name) && refusal.isEmpty())
            refusal = directory_ + QStringLiteral(" holds an entry of another user (%1)").arg(entry.name);
    if (!refusal.isEmpty()) {
        const QString why = QStringLiteral("The icon cache is not used in this run: ") + refusal;
        qWarning("%s", qPrintable(why));
        if (unused_)
            unused_(why);
        return nullptr;
    }
    usable_ = true;
    // What a process killed during a write left; then the cap holds from the start, also
    // over what another Velmor sharing the folder stored.
    folder_.removeLeftoverTemporaries(isEntryName, temporaryFolders::Processes::system().isRunning);
    for (const CacheFolder::Entry& entry : files) {
        if (!isEntryName(entry.name))
            continue;
        index_.insert(entry.name, {entry.bytes, entry.modifiedMs});
        bytes_ += entry.bytes;
        latestMs_ = std::max(latestMs_, entry.modifiedMs);
    }
    trim();
    return &folder_;
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
        folder_.removeFile(name);
        bytes_ -= index_.take(name).bytes;
    }
}

QString defaultIconRenderCacheDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Velmor/IconRenders");
}

} // namespace velmor
