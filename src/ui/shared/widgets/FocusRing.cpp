#include "ui/shared/widgets/FocusRing.h"

#include "ui/shared/Theme.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <algorithm>

namespace velmor {

namespace {

constexpr qreal ringWidth = 2.5;

class Ring final : public QWidget {
public:
    explicit Ring(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("focusRing"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF edge = QRectF(rect()).adjusted(ringWidth / 2, ringWidth / 2, -ringWidth / 2, -ringWidth / 2);
        const QVariant corner = parentWidget()->property(FocusRing::cornerRadiusProperty);
        const qreal wanted = corner.isValid() ? corner.toReal() - ringWidth / 2 : 5.0;
        const qreal radius = std::min({wanted, edge.width() / 2, edge.height() / 2});
        painter.setPen(QPen(Theme::withOpacity(Theme::blue(), 0.95), ringWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(edge, radius, radius);
    }
};

} // namespace

FocusRing::FocusRing(QApplication& application) : QObject(&application)
{
    connect(&application, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { follow(now); });
    follow(QApplication::focusWidget());
}

FocusRing::~FocusRing()
{
    if (QWidget* ring = ring_.data())
        delete ring;
}

QWidget* FocusRing::ringed() const { return ring_ && ring_->isVisible() ? ring_->parentWidget() : nullptr; }

void FocusRing::follow(QWidget* focused)
{
    if (ring_ && ring_->parentWidget())
        ring_->parentWidget()->removeEventFilter(this);
    // A whole window (a menu, a popup) shows its own focus within.
    if (!focused || focused->isWindow()) {
        if (ring_)
            ring_->hide();
        return;
    }
    if (!ring_)
        ring_ = new Ring(focused);
    else
        ring_->setParent(focused);
    focused->installEventFilter(this);
    ring_->setGeometry(focused->rect());
    ring_->show();
    ring_->raise();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event)
{
    if (ring_ && watched == ring_->parentWidget()) {
        if (event->type() == QEvent::Resize)
            ring_->setGeometry(ring_->parentWidget()->rect());
        else if (event->type() == QEvent::ChildAdded)
            ring_->raise(); // stays above what the widget adds later (a scroll area's viewport)
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velmor
