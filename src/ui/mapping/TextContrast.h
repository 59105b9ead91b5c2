#pragma once

#include <QColor>

namespace velmor::textContrast {

// The contrast ratio of two opaque colours, 1 to 21 (relative luminance of sRGB).
qreal ratio(const QColor& first, const QColor& second);

// `over` drawn with its alpha on the opaque `under`.
QColor composite(const QColor& over, const QColor& under);

// Small text should reach this ratio against its background.
inline constexpr qreal legibleRatio = 4.5;

// `preferred` where it is legible on `background`; otherwise `preferred` moved
// the least way towards white or black, whichever side of the background leaves
// more room, until it is legible (white or black at the end of the way).
QColor legibleText(const QColor& preferred, const QColor& background);

} // namespace velmor::textContrast
