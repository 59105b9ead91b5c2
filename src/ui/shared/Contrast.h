#pragma once

#include <QColor>

namespace velmor::contrast {

// Small text should reach this ratio against its background.
inline constexpr double legibleRatio = 4.5;

// The contrast ratio of two colours as the web's accessibility guidelines
// define it (1 to 21, either order); a translucent foreground counts as drawn
// over `background`.
double ratio(const QColor& foreground, const QColor& background);

// `from` moved towards `to` by `amount` (0: from, 1: to), opaque.
QColor mix(const QColor& from, const QColor& to, double amount);

// `over` drawn with its alpha on `under` (whose alpha is ignored), opaque.
QColor composite(const QColor& over, const QColor& under);

// The colour a `fraction` of the way from `background` to `text`, moved further
// towards `text` until it reaches `minimumRatio` on `background` (or is `text`).
QColor legible(const QColor& text, const QColor& background, double fraction, double minimumRatio);

// `preferred` where it is legible on `background`; otherwise `preferred` moved
// the least way towards white or black, whichever side of the background leaves
// more room, until it is legible (white or black at the end of the way).
QColor legibleText(const QColor& preferred, const QColor& background);

} // namespace velmor::contrast
