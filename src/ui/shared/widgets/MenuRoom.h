#pragma once

#include <QFontMetricsF>
#include <QString>

class QWidget;

namespace velmor {

// The room an entry's text has in a menu, or in a picker's drop-down list (drawn
// with a menu's entries), so that the menu or list stays the width of a menu
// (nameFit::menuWidth of its font) whatever names its entries show: that width
// less what the style draws around a text (check, icon, margins, frame).
// Measured once, for the entries added next.
class MenuRoom {
public:
    explicit MenuRoom(const QWidget& menuOrPicker);

    // The pixels an entry's text may take.
    qreal width() const { return width_; }
    // `shown` (a name as text::displayName shows it) cut with "…" to the room
    // left beside `besides`, a text the entry shows after it.
    QString fitted(const QString& shown, const QString& besides = {}) const;
    // fitted(shown) as a menu entry's text: an '&' in it marks no key.
    QString entryText(const QString& shown) const;

private:
    QFontMetricsF metrics_;
    qreal width_;
};

} // namespace velmor
