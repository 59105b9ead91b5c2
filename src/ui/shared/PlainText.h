#pragma once

#include <QString>

class QFontMetricsF;

// Names come from other people and other machines: these keep a widget from
// reading one as anything but text.
namespace velmor::plainText {

// A tooltip that shows `text` as it is. Qt reads a tooltip that looks like
// markup as markup; such a text is handed over escaped.
QString toolTip(const QString& text);

// A menu item's or button's text that shows `text` as it is: an '&' marks no
// shortcut key.
QString actionText(const QString& text);

// A name drawn alone in a row `width` wide: one line whatever it holds, its
// controls written visibly and isolated (text::shownEnds) so that no override in
// it turns what the row draws after it, and cut with "…" where it is wider
// (nameFit::fitted).
QString paintedName(const QString& name, const QFontMetricsF& metrics, qreal width);

// A message as a label that wraps it `width` wide shows it: a quoted path in it
// (“…” holding a "/") breaks no line inside itself but moves to the next line
// whole, and one wider than a line is cut in its middle with "…", so that its start
// and its file name stay. Other text is left as it is.
QString unbrokenPaths(const QString& message, const QFontMetricsF& metrics, qreal width);

} // namespace velmor::plainText
