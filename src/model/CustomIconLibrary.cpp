#include "model/CustomIconLibrary.h"

#include "model/FileNames.h"
#include "model/SvgIconImage.h"
#include "platform/Bundle.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

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
    auto image = loadSvgIconFile(QDir(customIconsDirectory()).filePath(fileName));
    if (!image)
        image = bundleCustomIconImage(fileName);
    if (image)
        cache_.insert(fileName, *image, generation);
    return image;
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

std::optional<QImage> bundleCustomIconImage(const QString& fileName)
{
    const QStringList urls = bundledCustomIconURLs();
    const auto match = std::find_if(urls.begin(), urls.end(),
                                    [&](const QString& url) { return QFileInfo(url).fileName() == fileName; });
    if (match == urls.end())
        return std::nullopt;
    return loadSvgIconFile(*match);
}

void installBundledCustomIcons() { CustomIconLibrary::shared().installBundledCustomIcons(); }

QList<CustomIcon> loadCustomIcons() { return CustomIconLibrary::shared().loadCustomIcons(); }

std::optional<QImage> customIconImage(const QString& fileName)
{
    return CustomIconLibrary::shared().customIconImage(fileName);
}

CustomIconImageCache& customIconImageCache() { return CustomIconLibrary::shared().imageCache(); }

} // namespace velmor
