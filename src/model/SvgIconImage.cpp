#include "model/SvgIconImage.h"

#include "model/SvgIconScreening.h"

#include "platform/RegularFile.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <QThread>
#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace velmor {

namespace {
std::atomic<const QThread*> windowThread{nullptr};
std::atomic<int> windowThreadRenders{0};
} // namespace

void setSvgWindowThread(const QThread* thread) { windowThread.store(thread); }

int svgRendersOnWindowThread() { return windowThreadRenders.load(); }

std::optional<QImage> renderSvgIcon(const QByteArray& document, int longestSide)
{
    if (const QThread* marked = windowThread.load(); marked && marked == QThread::currentThread()) {
        ++windowThreadRenders;
        qCritical("velmor: an SVG icon was about to be drawn on the window's thread; refused");
        return std::nullopt;
    }
    if (longestSide <= 0 || document.size() > SvgIconLimits::maxFileBytes || !passesSvgIconScreening(document))
        return std::nullopt;
    QSvgRenderer renderer(document);
    if (!renderer.isValid())
        return std::nullopt;

    // The view box carries the aspect ratio; its declared size may be anything, so the image
    // size comes from the ratio alone.
    const QRectF box = renderer.viewBoxF();
    const double width = box.width();
    const double height = box.height();
    if (!(std::isfinite(width) && std::isfinite(height) && width > 0 && height > 0))
        return std::nullopt;
    const double scale = longestSide / std::max(width, height);
    const auto side = [&](double length) {
        return static_cast<int>(std::clamp(std::lround(length * scale), 1L, static_cast<long>(longestSide)));
    };

    QImage image(side(width), side(height), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    return image;
}

std::optional<QByteArray> readSvgIconFile(const QString& path)
{
    // The application's own resources live in memory and cannot block.
    if (path.startsWith(u':')) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        QByteArray document = file.read(SvgIconLimits::maxFileBytes + 1);
        if (document.size() > SvgIconLimits::maxFileBytes)
            return std::nullopt;
        return document;
    }
    // Anything else may have been put there by anyone: a pipe or a device would block.
    return files::readRegularFile(path, SvgIconLimits::maxFileBytes);
}

std::optional<QImage> loadSvgIconFile(const QString& path, int longestSide)
{
    const std::optional<QByteArray> document = readSvgIconFile(path);
    if (!document)
        return std::nullopt;
    return renderSvgIcon(*document, longestSide);
}

} // namespace velmor
