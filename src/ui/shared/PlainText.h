#pragma once

#include <QString>

// Names come from other people and other machines: these keep a widget from
// reading one as anything but text.
namespace velmor::plainText {

// A tooltip that shows `text` as it is. Qt reads a tooltip that looks like
// markup as markup; such a text is handed over escaped.
QString toolTip(const QString& text);

// A menu item's or button's text that shows `text` as it is: an '&' marks no
// shortcut key.
QString actionText(const QString& text);

} // namespace velmor::plainText
