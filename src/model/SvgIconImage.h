#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

namespace velmor {

// Icon files come from the user and from other machines, so decoding is bounded:
// documents over these limits give no image instead of eating memory or time.
struct SvgIconLimits {
    static constexpr qint64 maxFileBytes = 1024 * 1024;
    static constexpr int maxElements = 10000;
    static constexpr int maxDepth = 256;
    // Longest side of the decoded image, in pixels; enough for the largest icon view on a
    // high-density screen and for the cloud's preview image.
    static constexpr int imageSide = 128;
};

// Renders an SVG document into a transparent image whose longest side is `longestSide`,
// keeping the document's aspect ratio. No image for anything that is not a well-formed SVG
// document within the limits, that draws nothing at a positive size, or that refers to
// files outside itself (only "data:" images are drawn).
std::optional<QImage> renderSvgIcon(const QByteArray& document, int longestSide = SvgIconLimits::imageSide);

// The bytes of a regular file of at most maxFileBytes; none for anything else (missing
// file, link, folder, pipe, device, oversized file). Never blocks.
std::optional<QByteArray> readSvgIconFile(const QString& path);

// Reads the file as readSvgIconFile does and renders it.
std::optional<QImage> loadSvgIconFile(const QString& path, int longestSide = SvgIconLimits::imageSide);

} // namespace velmor
