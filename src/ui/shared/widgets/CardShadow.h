#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

namespace velmor {

class GlassCard;

// The soft shadow of a GlassCard, painted by a sibling just under the card from a
// picture made once per card size. A graphics effect on the card would render and
// blur the whole card again for every small repaint inside it (a blinking cursor).
class CardShadow : public QWidget {
public:
    explicit CardShadow(GlassCard* card);

    // Takes the card's place, size, visibility and stacking again.
    void follow();

    // The shadow alone, as the card's drop shadow effect draws it under the card,
    // placed relative to the card's top left corner.
    static QImage render(QSize cardSize, QPoint& origin);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<GlassCard> card_;
    QImage picture_;
    QSize pictureSize_;
    QPoint origin_;
};

} // namespace velmor
