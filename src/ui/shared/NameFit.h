#pragma once

#include <QString>

class QFontMetricsF;

// Cutting a name to the room a widget gives it, in pixels of the widget's font:
// a name of one long word has no space for the widget to break it at.
namespace velmor::nameFit {

// The widest a menu or a drop-down list is made: about 40 characters of its font.
qreal menuWidth(const QFontMetricsF& metrics);

// `shown`, a name as text::displayName shows it (or any text of one line), cut
// with "…" so that it takes at most `width` pixels of `metrics`: between whole
// characters, an escape that text::visibleControls wrote kept or left out whole,
// and the isolating marks around it kept; at the least the "…". Handed back as
// it is when it fits.
QString fitted(const QString& shown, const QFontMetricsF& metrics, qreal width);

} // namespace velmor::nameFit
