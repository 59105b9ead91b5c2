#include "ui/shared/widgets/GlassCard.h"

#include "ui/shared/Theme.h"
#include "ui/shared/widgets/CardShadow.h"

#include <QEvent>
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
    if (parent)
        shadow_ = new CardShadow(this);
}

GlassCard::~GlassCard() { delete shadow_.data(); }

void GlassCard::setContent(QWidget* content)
{
    if (content_)
        content_->deleteLater();
    content_ = content;
    if (content_)
        layout_->addWidget(content_);
}

void GlassCard::paintCard(QPainter& painter, const QRectF& rect)
{
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    painter.fillPath(card, Theme::panelGradient());
    painter.strokePath(card, QPen(Theme::withOpacity(Theme::border(), 0.7), 1));
}

void GlassCard::styleShadow(QGraphicsDropShadowEffect& shadow)
{
    shadow.setColor(Theme::withOpacity(Qt::black, 0.4));
    shadow.setBlurRadius(12);
    shadow.setOffset(0, 6);
}

void GlassCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintCard(painter, QRectF(rect()));
}

bool GlassCard::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    switch (event->type()) {
    case QEvent::ParentChange:
        delete shadow_.data();
        if (parentWidget())
            shadow_ = new CardShadow(this);
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ZOrderChange:
        if (shadow_)
            shadow_->follow();
        break;
    default:
        break;
    }
    return handled;
}

} // namespace velmor
