#include "ui/shared/widgets/CardShadow.h"

#include "ui/shared/Theme.h"
#include "ui/shared/widgets/GlassCard.h"

#include <QGraphicsDropShadowEffect>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace velmor {

CardShadow::CardShadow(GlassCard* card) : QWidget(card->parentWidget()), card_(card)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    follow();
}

void CardShadow::follow()
{
    if (!card_)
        return;
    if (card_->size() != pictureSize_) {
        pictureSize_ = card_->size();
        picture_ = pictureSize_.isEmpty() ? QImage() : render(pictureSize_, origin_);
    }
    setGeometry(QRect(card_->pos() + origin_, picture_.size()));
    setVisible(card_->isVisibleTo(parentWidget()) && !picture_.isNull());
    stackUnder(card_);
}

QImage CardShadow::render(QSize cardSize, QPoint& origin)
{
    // The card's own picture, and the same under Qt's drop shadow, made the way the
    // effect made it on the card; the shadow is what the effect added.
    QImage card(cardSize, QImage::Format_ARGB32_Premultiplied);
    card.fill(Qt::transparent);
    {
        QPainter painter(&card);
        GlassCard::paintCard(painter, QRectF(QPointF(), QSizeF(cardSize)));
    }
    QGraphicsScene scene;
    QGraphicsPixmapItem* item = scene.addPixmap(QPixmap::fromImage(card));
    auto* effect = new QGraphicsDropShadowEffect;
    GlassCard::styleShadow(*effect);
    item->setGraphicsEffect(effect); // the item owns it
    const QRect bounds = effect->boundingRectFor(QRectF(QPointF(), QSizeF(cardSize))).toAlignedRect();
    QImage both(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    both.fill(Qt::transparent);
    {
        QPainter painter(&both);
        scene.render(&painter, QRectF(QPointF(), QSizeF(bounds.size())), bounds);
    }
    // both = card over shadow: where the card lets some through, the shadow is
    // (both − card) ÷ (1 − card's alpha); under the opaque card it is never seen.
    origin = bounds.topLeft();
    for (int y = 0; y < both.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(both.scanLine(y));
        const int cardY = y + origin.y();
        const QRgb* cardLine = cardY >= 0 && cardY < card.height() ? reinterpret_cast<const QRgb*>(card.constScanLine(cardY)) : nullptr;
        for (int x = 0; x < both.width(); ++x) {
            const int cardX = x + origin.x();
            const QRgb over = cardLine && cardX >= 0 && cardX < card.width() ? cardLine[cardX] : 0;
            const int cover = qAlpha(over);
            if (cover == 0)
                continue;
            if (cover == 255) {
                line[x] = 0;
                continue;
            }
            const auto part = [&](int total, int top) { return std::clamp((total - top) * 255 / (255 - cover), 0, 255); };
            const QRgb shown = line[x];
            const int alpha = part(qAlpha(shown), cover);
            line[x] = qRgba(std::min(part(qRed(shown), qRed(over)), alpha), std::min(part(qGreen(shown), qGreen(over)), alpha),
                            std::min(part(qBlue(shown), qBlue(over)), alpha), alpha);
        }
    }
    return both;
}

void CardShadow::paintEvent(QPaintEvent* event)
{
    // Only what is exposed: a blinking cursor in the card repaints a few pixels of it.
    const QRect exposed = event->rect() & picture_.rect();
    QPainter painter(this);
    painter.drawImage(exposed.topLeft(), picture_, exposed);
}

} // namespace velmor
