#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace velmor {

// What the icon drawing process writes on standard output: "VIP1", the width and the
// height as 32-bit little-endian numbers, then the rows of premultiplied ARGB32 pixels
// (4 bytes each, in the machine's order), nothing after them.
namespace iconpixels {

// Exit statuses of the drawing process; anything else (a signal included) is a crash.
// The process turns the end of its CPU budget (SIGXCPU) into outOfTimeStatus.
constexpr int drawnStatus = 0;
constexpr int refusedStatus = 3;
constexpr int outOfTimeStatus = 4;

QByteArray encode(const QImage& image);
// None unless the bytes are exactly one image of sides from 1 to maxSide.
std::optional<QImage> decode(const QByteArray& bytes, int maxSide);
// The most bytes an image of at most maxSide × maxSide takes.
qint64 maxBytes(int maxSide);

} // namespace iconpixels

} // namespace velmor
