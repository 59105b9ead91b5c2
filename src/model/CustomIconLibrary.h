#pragma once

#include "model/CustomIcon.h"
#include "model/CustomIconImageCache.h"

#include <QImage>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmor {

// The user's custom SVG icons: the one-time copy of the icons the application ships into
// the icons folder, the listing for the icon picker, and cached loading. The application
// uses the process-wide library behind the free functions below; a fresh library behaves
// like a fresh process.
class CustomIconLibrary {
public:
    CustomIconLibrary() = default;
    CustomIconLibrary(const CustomIconLibrary&) = delete;
    CustomIconLibrary& operator=(const CustomIconLibrary&) = delete;

    // Copies each shipped icon that has no file of its name in the folder; runs once per
    // library. Existing files, the user's own or changed ones, are never overwritten.
    void installBundledCustomIcons();

    // The "*.svg" files directly in the icons folder (extension in any letter case, hidden
    // files and names no other part would accept left out), in customIconSortOrder.
    QList<CustomIcon> loadCustomIcons();

    // The icon of that file name: from the cache, else the icons folder, else the shipped
    // icons. Only plain file names are looked up; misses are not remembered.
    std::optional<QImage> customIconImage(const QString& fileName);

    CustomIconImageCache& imageCache() { return cache_; }

    static CustomIconLibrary& shared();

private:
    QMutex installMutex_;
    bool installed_ = false;
    CustomIconImageCache cache_;
};

// "Velmor/Icons" under the user's data folder, created (with missing parents) on every
// call; the path is returned even when it cannot be created.
QString customIconsDirectory();

// The shipped icons: the "*.svg" resources in the bundle's "CustomIcons" folder, else those
// at the top of the bundle, else none.
QStringList bundledCustomIconURLs();

// The first shipped icon whose file name is exactly `fileName`, decoded.
std::optional<QImage> bundleCustomIconImage(const QString& fileName);

// The process-wide library.
void installBundledCustomIcons();
QList<CustomIcon> loadCustomIcons();
std::optional<QImage> customIconImage(const QString& fileName);
CustomIconImageCache& customIconImageCache();

} // namespace velmor
