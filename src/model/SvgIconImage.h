#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

class QThread;

namespace velmor {

// Icon files come from the user and from other machines, so decoding is bounded:
// documents over these limits give no image instead of eating memory or time.
struct SvgIconLimits {
    static constexpr qint64 maxFileBytes = 1024 * 1024;
    static constexpr int maxElements = 10000;
    static constexpr int maxDepth = 256;
    // What drawing costs, with every <use> expanded: an element costs 1 and 1 more for
    // every costBytes characters of its name, attributes and text. The limit is what a plain
    // document of markup at the limits above costs, so <use> can shorten a document but
    // never make it more work than that.
    static constexpr int costBytes = 64;
    static constexpr qint64 maxExpandedCost = maxElements + maxFileBytes / costBytes;
    // A character of text costs as many characters of markup: it draws a glyph.
    static constexpr int glyphCost = 16;
    // Embedded PNG and JPEG images, all together, and the scans of one progressive JPEG.
    static constexpr qint64 maxImagePixels = 4096 * 4096;
    static constexpr int maxJpegScans = 32;
    // Longest side of the decoded image, in pixels; enough for the largest icon view on a
    // high-density screen and for the cloud's preview image.
    static constexpr int imageSide = 128;
};

// Renders an SVG document into a transparent image whose longest side is `longestSide`,
// keeping the document's aspect ratio. No image for anything that does not pass
// passesSvgIconScreening or that draws nothing at a positive size. Drawing time has no
// bound, so only the icon drawing process calls it for documents Velmor did not make; on
// the thread marked as the window's it refuses (and counts the call).
std::optional<QImage> renderSvgIcon(const QByteArray& document, int longestSide = SvgIconLimits::imageSide);

// Marks the thread that paints the windows (nullptr: none).
void setSvgWindowThread(const QThread* thread);
// How many times renderSvgIcon was called on the window's thread.
int svgRendersOnWindowThread();

// The bytes of a regular file of at most maxFileBytes; none for anything else (missing
// file, link, folder, pipe, device, oversized file). Never blocks.
std::optional<QByteArray> readSvgIconFile(const QString& path);

// Reads the file as readSvgIconFile does and renders it.
std::optional<QImage> loadSvgIconFile(const QString& path, int longestSide = SvgIconLimits::imageSide);

} // namespace velmor
