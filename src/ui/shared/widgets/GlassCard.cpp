#include "ui/shared/widgets/GlassCard.h"

#include "ui/shared/Theme.h"

#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace velmor {

GlassCard::GlassCard(int padding, QWidget* parent) : QWidget(parent), padding_(padding), layout_(new QVBoxLayout(this))
{
    layout_->setContentsMargins(padding, padding, padding, padding);
    layout_->setSpacing(0);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // The shadow falls outside the card without taking room in the layout.
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(Theme::withOpacity(Qt::black, 0.4));
    shadow->setBlurRadius(12);
    shadow->setOffset(0, 6);
    setGraphicsEffect(shadow);
}

void GlassCard::setContent(QWidget* content)
{
    if (content_)
        content_->deleteLater();
    content_ = content;
    if (content_)
        layout_->addWidget(content_);
}

void GlassCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    painter.fillPath(card, Theme::panelGradient());
    painter.strokePath(card, QPen(Theme::withOpacity(Theme::border(), 0.7), 1));
}

} // namespace velmor
