#include "ui/shared/widgets/Switch.h"

#include "ui/shared/Theme.h"

#include <QPainter>

namespace velmor {

Switch::Switch(QWidget* parent) : Switch(QString(), parent) {}

Switch::Switch(const QString& text, QWidget* parent) : QAbstractButton(parent)
{
    setText(text);
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize Switch::sizeHint() const
{
    if (text().isEmpty())
        return pillSize;
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + textGap + pillSize.width(),
            std::max(metrics.height(), pillSize.height())};
}

void Switch::paintPill(QPainter& painter, const QRectF& pill, bool checked, bool enabled)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = pill.adjusted(1, 1, -1, -1);
    const qreal radius = track.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setOpacity(painter.opacity() * (enabled ? 1.0 : 0.5));
    painter.setBrush(checked ? Theme::green() : Theme::withOpacity(Qt::white, 0.18));
    painter.drawRoundedRect(track, radius, radius);
    const qreal knob = track.height() - 4;
    const qreal x = checked ? track.right() - knob - 2 : track.left() + 2;
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
    painter.restore();
}

void Switch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF pill(width() - pillSize.width(), (height() - pillSize.height()) / 2.0, pillSize.width(),
                      pillSize.height());
    paintPill(painter, pill, isChecked(), isEnabled());
    if (!text().isEmpty()) {
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        painter.setFont(font());
        painter.drawText(QRectF(0, 0, pill.left() - textGap, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    }
}

} // namespace velmor
