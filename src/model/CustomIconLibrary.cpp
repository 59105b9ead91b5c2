#include "model/CustomIconLibrary.h"

#include "model/FileNames.h"
#include "model/SvgIconImage.h"
#include "platform/Bundle.h"
#include "platform/MainQueue.h"
#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>

namespace velmor {

namespace {

QStringList svgFilesIn(const QString& folder)
{
    const QDir dir(folder);
    QStringList paths;
    for (const QString& name : dir.entryList({QStringLiteral("*.svg")}, QDir::Files | QDir::CaseSensitive, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

// Creates the destination only when nothing is there, so a file that appears meanwhile
// is not overwritten either; a partial copy is removed again.
void copyIfAbsent(const QString& source, const QString& destination)
{
    if (QFileInfo::exists(destination))
        return;
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = in.readAll();
    QFile out(destination);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return;
    if (out.write(bytes) != bytes.size() || !out.flush()) {
        out.close();
        out.remove();
    }
}

} // namespace

void CustomIconLibrary::installBundledCustomIcons()
{
    const QMutexLocker lock(&installMutex_);
    if (installed_)
        return;
    const QDir folder(customIconsDirectory());
    for (const QString& source : bundledCustomIconURLs())
        copyIfAbsent(source, folder.filePath(QFileInfo(source).fileName()));
    installed_ = true;
}

QList<CustomIcon> CustomIconLibrary::loadCustomIcons()
{
    installBundledCustomIcons();
    const QDir folder(customIconsDirectory());
    QList<CustomIcon> icons;
    // Hidden files are left out unless QDir::Hidden is asked for.
    for (const QFileInfo& entry : folder.entryInfoList(QDir::Files, QDir::Name)) {
        // A link in the icons folder is not read (it may lead anywhere): not listed either.
        if (!isCustomIconFileName(entry.fileName()) || entry.isSymLink())
            continue;
        icons.append(CustomIcon(entry.fileName(), entry.filePath()));
    }
    std::stable_sort(icons.begin(), icons.end(), customIconSortOrder);
    return icons;
}

CustomIconLibrary::CustomIconLibrary(IconRenderer* renderer)
    : renderer_(renderer), readers_(SerialQueue::create(QStringLiteral("com.velmor.icon-lookup")))
{
}

CustomIconLibrary::~CustomIconLibrary()
{
    // Work still queued finds the library gone; the readers' queue then lets it finish.
    alive_.reset();
}

std::optional<QImage> CustomIconLibrary::customIconImage(const QString& asked)
{
    installBundledCustomIcons();
    if (!isCustomIconFileName(asked))
        return std::nullopt;
    if (auto cached = cache_.image(asked))
        return cached;
    // A tool naming "Mark.SVG" shows "Mark.svg" when only that is there, and the other way round.
    const QString fileName = customIconFileIn(customIconsDirectory(), asked);
    if (fileName != asked)
        if (auto cached = cache_.image(fileName))
            return cached;
    const quint64 generation = cache_.generation();
    // What the file is now, without reading it: its outcome may be known for it.
    const files::FileStamp stamp = files::fileStamp(QDir(customIconsDirectory()).filePath(fileName));
    if (const std::optional<CustomIconOutcomes::Known> known = outcomes_.find(fileName, stamp)) {
        if (known->state != CustomIconOutcomes::State::drawn)
            return std::nullopt;
        // The renderer keeps what it drew; the image cache may have let it go.
        if (std::optional<IconRenderResult> drawn = renderer().remembered(known->key);
            drawn && drawn->outcome == IconRenderOutcome::drawn) {
            cache_.insert(fileName, drawn->image, generation);
            return drawn->image;
        }
    }
    // The renderer and the views' notice live on the main thread.
    const QCoreApplication* application = QCoreApplication::instance();
    if (application && QThread::currentThread() == application->thread())
        startLookup(fileName, stamp, generation);
    return std::nullopt;
}

void CustomIconLibrary::startLookup(const QString& fileName, const files::FileStamp& stamp, quint64 generation)
{
    const std::optional<quint64> lookup = outcomes_.start(fileName, stamp);
    if (!lookup)
        return;
    auto ticket = std::make_shared<const Ticket>(outcomes_, alive_, fileName, *lookup);
    readers_->async([this, alive = std::weak_ptr(alive_), ticket = std::move(ticket), generation]() mutable {
        if (alive.expired())
            return;
        auto lookup = std::make_shared<const Lookup>(read(std::move(ticket), generation));
        if (alive.expired())
            return;
        postToMain([this, alive, lookup] {
            if (!alive.expired())
                resolve(lookup, 0, std::nullopt);
        });
    });
}

CustomIconLibrary::Ticket::~Ticket()
{
    if (!alive.expired())
        outcomes.abandon(fileName, lookup);
}

CustomIconLibrary::Lookup CustomIconLibrary::read(std::shared_ptr<const Ticket> ticket, quint64 generation)
{
    const QString fileName = ticket->fileName;
    Lookup lookup{std::move(ticket), generation, {}};
    // The folder's file first; the shipped icon when the file is missing or draws nothing.
    for (const bool shipped : {false, true}) {
        std::optional<QByteArray> document = shipped
            ? bundleCustomIconDocument(fileName)
            : readSvgIconFile(QDir(customIconsDirectory()).filePath(fileName));
        if (!document)
            continue;
        ++documentsRead_;
        const QString key = iconRenderKey(*document, SvgIconLimits::imageSide);
        lookup.candidates.append({std::move(*document), SvgIconLimits::imageSide, fileName, IconOrigin::local, key});
    }
    return lookup;
}

// On the main thread: the first candidate that is drawn, each drawn when its outcome is
// not known yet; `answer` is the renderer's for the candidate `from`.
void CustomIconLibrary::resolve(const std::shared_ptr<const Lookup>& lookup, qsizetype from,
                                std::optional<IconRenderResult> answer)
{
    for (qsizetype index = from; index < lookup->candidates.size(); ++index) {
        const IconRenderRequest& candidate = lookup->candidates[index];
        std::optional<IconRenderResult> result =
            index == from && answer ? std::move(answer) : renderer().remembered(candidate.key);
        if (!result) {
            auto answered = [this, alive = std::weak_ptr(alive_), lookup, index](const IconRenderResult& drawn) {
                if (!alive.expired())
                    resolve(lookup, index, drawn);
            };
            renderer().render(candidate, std::move(answered));
            return;
        }
        if (result->outcome == IconRenderOutcome::drawn)
            return settle(*lookup, &candidate, result->image);
    }
    settle(*lookup, nullptr, {});
}

void CustomIconLibrary::settle(const Lookup& lookup, const IconRenderRequest* drawn, const QImage& image)
{
    const QString& fileName = lookup.ticket->fileName;
    outcomes_.settle(fileName, lookup.ticket->lookup, drawn ? std::optional(drawn->key) : std::nullopt);
    if (!drawn)
        return;
    cache_.insert(fileName, image, lookup.generation);
    arrivals_.set(arrivals_.get() + 1);
    lastArrival_.set(fileName);
}

void CustomIconLibrary::iconFilesChanged()
{
    cache_.removeAll();
    arrivals_.set(arrivals_.get() + 1);
    lastArrival_.set({});
}

CustomIconLibrary& CustomIconLibrary::shared()
{
    static CustomIconLibrary library;
    return library;
}

QString customIconsDirectory()
{
    const QString path = QDir(paths::applicationSupport()).filePath(QStringLiteral("Icons"));
    QDir().mkpath(path);
    return path;
}

QStringList bundledCustomIconURLs()
{
    const QDir root(Bundle::main().root());
    QStringList urls = svgFilesIn(root.filePath(QStringLiteral("CustomIcons")));
    if (urls.isEmpty())
        urls = svgFilesIn(root.path());
    return urls;
}

std::optional<QByteArray> bundleCustomIconDocument(const QString& fileName)
{
    const QStringList urls = bundledCustomIconURLs();
    const auto match = std::find_if(urls.begin(), urls.end(),
                                    [&](const QString& url) { return QFileInfo(url).fileName() == fileName; });
    if (match == urls.end())
        return std::nullopt;
    return readSvgIconFile(*match);
}

void installBundledCustomIcons() { CustomIconLibrary::shared().installBundledCustomIcons(); }

QList<CustomIcon> loadCustomIcons() { return CustomIconLibrary::shared().loadCustomIcons(); }

std::optional<QImage> customIconImage(const QString& fileName)
{
    return CustomIconLibrary::shared().customIconImage(fileName);
}

CustomIconImageCache& customIconImageCache() { return CustomIconLibrary::shared().imageCache(); }

} // namespace velmor
