#pragma once

#include <QColor>

namespace velmor::contrast {

// The contrast ratio of two colours as the web's accessibility guidelines
// define it (1 to 21); a translucent foreground counts as drawn over `background`.
double ratio(const QColor& foreground, const QColor& background);

// `from` moved towards `to` by `amount` (0: from, 1: to), opaque.
QColor mix(const QColor& from, const QColor& to, double amount);

// The colour a `fraction` of the way from `background` to `text`, moved further
// towards `text` until it reaches `minimumRatio` on `background` (or is `text`).
QColor legible(const QColor& text, const QColor& background, double fraction, double minimumRatio);

} // namespace velmor::contrast
