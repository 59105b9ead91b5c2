#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace velmor {

// The image of an icon cache entry, which anyone who could write the file may have made:
// taken only as the PNG the cache itself writes (8-bit RGB or RGBA, not interlaced, the
// pixels and their pHYs chunk and nothing else) whose longest side is `side`, no larger
// than such an image can need, and whose pixel data inflates to exactly the rows it
// declares. Nothing is inflated beyond that, and no text or colour profile reaches the
// image reader, so a small file that unpacks to gigabytes costs no more than an honest one.
namespace iconentryimage {

// The most bytes a PNG of the cache's kind with this longest side can take.
qint64 maxFileBytes(int side);
// The image, as premultiplied ARGB32, or none.
std::optional<QImage> decode(const QByteArray& bytes, int side);

} // namespace iconentryimage

} // namespace velmor
