#pragma once

#include "model/CustomIcon.h"
#include "model/CustomIconImageCache.h"
#include "model/CustomIconOutcomes.h"
#include "model/IconRenderer.h"
#include "platform/Published.h"
#include "platform/SerialQueue.h"

#include <QImage>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>

namespace velmor {

// The user's custom SVG icons: the one-time copy of the icons the application ships into
// the icons folder, the listing for the icon picker, and cached loading. Icons are drawn by
// the icon renderer (never on the caller's thread): a lookup answers with an image already
// made, or with none while the image is being made, and `arrivals` changes once it is
// there. A file whose outcome is known (CustomIconOutcomes) is not read again until it
// changes; one whose outcome is not is read and hashed on a worker, never on the caller's
// thread. The application uses the process-wide library behind the free functions below; a
// fresh library behaves like a fresh process.
class CustomIconLibrary {
public:
    // nullptr: the process-wide renderer, IconRenderer::shared().
    explicit CustomIconLibrary(IconRenderer* renderer = nullptr);
    ~CustomIconLibrary();
    CustomIconLibrary(const CustomIconLibrary&) = delete;
    CustomIconLibrary& operator=(const CustomIconLibrary&) = delete;

    // Copies each shipped icon that has no file of its name in the folder; runs once per
    // library. Existing files, the user's own or changed ones, are never overwritten.
    void installBundledCustomIcons();

    // The files directly in the icons folder whose names pass isCustomIconFileName (the
    // extension in any letter case; links left out), in customIconSortOrder.
    QList<CustomIcon> loadCustomIcons();

    // The icon of that file name: from the cache, else the image drawn from the icons
    // folder's file (the first of its spellings there, customIconFileIn), else from the
    // shipped icon. Only names that pass isCustomIconFileName
    // are looked up. A file not drawn yet is read, hashed and handed to the renderer (called
    // on the main thread; elsewhere only what is known is answered) and the answer is none
    // until the image arrives.
    std::optional<QImage> customIconImage(const QString& fileName);

    CustomIconImageCache& imageCache() { return cache_; }
    // Icon files were replaced (a download): the images go, and views look again, so
    // that a window shows the new drawing without waiting for a repaint. Main thread.
    void iconFilesChanged();
    // Counts the images that arrived from the renderer; views repaint when it changes.
    // Main thread.
    const Published<quint64>& arrivals() const { return arrivals_; }
    // The file name of the image that arrived last, set at each arrival; empty when every
    // image went (iconFilesChanged). Views that hold pictures of many icons change only
    // the ones named. Main thread.
    const Published<QString>& lastArrival() const { return lastArrival_; }
    // Icons whose outcome is being found out (read, hashed or drawn).
    int lookupsUnderWay() const { return outcomes_.underway(); }
    // Icon documents read so far (the folder's and the shipped ones).
    quint64 documentsRead() const { return documentsRead_.load(); }

    static CustomIconLibrary& shared();

private:
    // Held by all of a lookup's work: a lookup whose work was dropped unfinished (the
    // queue it waited in went away) is under way no longer.
    struct Ticket {
        Ticket(CustomIconOutcomes& outcomes, std::weak_ptr<const int> alive, QString fileName, quint64 lookup)
            : outcomes(outcomes), alive(std::move(alive)), fileName(std::move(fileName)), lookup(lookup)
        {
        }
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;
        ~Ticket();

        CustomIconOutcomes& outcomes;
        const std::weak_ptr<const int> alive;
        const QString fileName;
        const quint64 lookup;
    };
    // One file's documents, the folder's and the shipped one, read and hashed.
    struct Lookup {
        std::shared_ptr<const Ticket> ticket;
        quint64 generation = 0;
        QList<IconRenderRequest> candidates;
    };

    IconRenderer& renderer() const { return renderer_ ? *renderer_ : IconRenderer::shared(); }
    void startLookup(const QString& fileName, const files::FileStamp& stamp, quint64 generation);
    Lookup read(std::shared_ptr<const Ticket> ticket, quint64 generation);
    void resolve(const std::shared_ptr<const Lookup>& lookup, qsizetype from, std::optional<IconRenderResult> answer);
    void settle(const Lookup& lookup, const IconRenderRequest* drawn, const QImage& image);

    IconRenderer* renderer_;
    QMutex installMutex_;
    bool installed_ = false;
    CustomIconImageCache cache_;
    CustomIconOutcomes outcomes_;
    Published<quint64> arrivals_{0};
    Published<QString> lastArrival_;
    std::atomic<quint64> documentsRead_{0};
    // Reads and hashes documents. Goes before the members its work uses, letting that work
    // finish; work that has not started finds the library gone.
    std::unique_ptr<SerialQueue> readers_;
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};

// "Velmor/Icons" under the user's data folder, created (with missing parents) on every
// call; the path is returned even when it cannot be created.
QString customIconsDirectory();

// The shipped icons: the "*.svg" resources in the bundle's "CustomIcons" folder, else those
// at the top of the bundle, else none.
QStringList bundledCustomIconURLs();

// The document of the first shipped icon whose file name is exactly `fileName`.
std::optional<QByteArray> bundleCustomIconDocument(const QString& fileName);

// The process-wide library.
void installBundledCustomIcons();
QList<CustomIcon> loadCustomIcons();
std::optional<QImage> customIconImage(const QString& fileName);
CustomIconImageCache& customIconImageCache();

} // namespace velmor
