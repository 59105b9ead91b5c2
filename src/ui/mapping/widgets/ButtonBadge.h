#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;

namespace velmor {

// The badge a row draws for the button its tool is mapped to. A button's name
// is a name from data like any other: escaped, isolated and cut with "…" so
// that the badge takes at most a third of its row and leaves the tool's name
// beside it its room.
struct ButtonBadge {
    QRectF rect;
    QString text;

    static QFont font();
    // The badge of `buttonId` ending at `right`, centred on `centreY`, in a row `rowWidth` wide.
    static ButtonBadge placed(const QString& buttonId, qreal right, qreal centreY, qreal rowWidth);

    void paint(QPainter& painter, const QColor& fill, const QColor& textColour, qreal radius) const;
};

} // namespace velmor
