#pragma once

#include <QString>

class QFontMetricsF;

// Cutting a name to the room a widget gives it, in pixels of the widget's font:
// a name of one long word has no space for the widget to break it at.
namespace velmor::nameFit {

// The widest a menu or a drop-down list is made: about 40 characters of its font.
qreal menuWidth(const QFontMetricsF& metrics);

// The widest a name is shown in a tooltip: about 60 characters of its font.
qreal toolTipNameWidth(const QFontMetricsF& metrics);
// The widest a tooltip's line is made: about 100 characters of its font.
qreal toolTipLineWidth(const QFontMetricsF& metrics);

// Where a name too wide for its room loses characters: at its end, or in its
// middle (a path, whose folder and file name both say something).
enum class Cut { end, middle };

// `shown`, a name as text::shownName shows it (or any text of one line), cut
// with "…" so that it takes at most `width` pixels of `metrics`: between whole
// characters, an escape that text::visibleControls wrote kept or left out whole,
// the pieces kept in their order, and the isolating marks around it kept; at
// the least the "…". Handed back as it is when it fits.
QString fitted(const QString& shown, const QFontMetricsF& metrics, qreal width, Cut cut = Cut::end);

// `text` with each run between spaces and line breaks that is wider than
// `width` cut in its middle (fitted): a long path or file name in a wrapped
// text keeps its start and end instead of running out of its line.
QString fittedWords(const QString& text, const QFontMetricsF& metrics, qreal width);

} // namespace velmor::nameFit
