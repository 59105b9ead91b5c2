#include "model/CustomIconLibrary.h"

#include "model/FileNames.h"
#include "model/SvgIconImage.h"
#include "platform/Bundle.h"
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
        if (entry.suffix().toLower() != u"svg" || !isPlainFileName(entry.fileName()) || entry.isSymLink())
            continue;
        icons.append(CustomIcon(entry.fileName(), entry.filePath()));
    }
    std::stable_sort(icons.begin(), icons.end(), customIconSortOrder);
    return icons;
}

std::optional<QImage> CustomIconLibrary::customIconImage(const QString& fileName)
{
    installBundledCustomIcons();
    if (!isPlainFileName(fileName))
        return std::nullopt;
    if (auto cached = cache_.image(fileName))
        return cached;
    const quint64 generation = cache_.generation();
    IconRenderer& drawer = renderer();
    // The folder's file first; the shipped icon when the file is missing or draws nothing.
    for (const bool shipped : {false, true}) {
        const std::optional<QByteArray> document =
            shipped ? bundleCustomIconDocument(fileName)
                    : readSvgIconFile(QDir(customIconsDirectory()).filePath(fileName));
        if (!document)
            continue;
        const std::optional<IconRenderResult> known = drawer.known(*document, SvgIconLimits::imageSide);
        if (!known) {
            request(*document, fileName);
            return std::nullopt;
        }
        if (known->outcome == IconRenderOutcome::drawn) {
            cache_.insert(fileName, known->image, generation);
            return known->image;
        }
    }
    return std::nullopt;
}

void CustomIconLibrary::request(const QByteArray& document, const QString& fileName)
{
    // The renderer and the views' notice live on the main thread.
    const QCoreApplication* application = QCoreApplication::instance();
    if (!application || QThread::currentThread() != application->thread() || pending_.contains(fileName))
        return;
    pending_.insert(fileName);
    renderer().render(document, SvgIconLimits::imageSide, fileName,
                      [this, alive = std::weak_ptr(alive_), fileName](const IconRenderResult& result) {
                          if (alive.expired())
                              return;
                          pending_.remove(fileName);
                          if (result.outcome == IconRenderOutcome::drawn)
                              arrivals_.set(arrivals_.get() + 1);
                      });
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
