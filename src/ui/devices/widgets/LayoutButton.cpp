#include "ui/devices/widgets/LayoutButton.h"

#include "platform/Text.h"
#include "ui/shared/ButtonFrames.h"
#include "ui/shared/PlainText.h"
#include "ui/shared/Theme.h"
#include "ui/shared/ToolTipRoom.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace velmor {

LayoutButton::LayoutButton(DeviceButton button, QWidget* parent) : QWidget(parent), button_(std::move(button))
{
    setObjectName(QStringLiteral("layoutButton_") + button_.id);
    setToolTip(plainText::toolTip(ToolTipRoom().line({ToolTipRoom::name(button_.displayLabel)})));
    setCursor(Qt::OpenHandCursor);
}

void LayoutButton::setSelected(bool selected)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    update();
}

QString LayoutButton::label() const { return compactButtonLabel(button_, QRectF(QPointF(0, 0), size())); }

void LayoutButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal lineWidth = selected_ ? 2 : 1;
    const QRectF shape = QRectF(rect()).adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2, -lineWidth / 2);
    QPainterPath path;
    path.addRoundedRect(shape, 10, 10);
    painter.fillPath(path, selected_ ? Theme::withOpacity(Theme::accentPurple(), 0.7)
                                     : Theme::withOpacity(Theme::accentCyan(), 0.35));
    painter.setPen(QPen(selected_ ? Theme::accentPurple() : Theme::border(), lineWidth));
    painter.drawPath(path);

    // Caption, bold, shrinking to 0.6 of its size before it is cut.
    const QString text = label();
    QFont font = Theme::boldFont(Theme::TextStyle::caption);
    const QRectF room = QRectF(rect()).adjusted(3, 1, -3, -1);
    for (int pixels = 10; pixels > 6; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetricsF(font).horizontalAdvance(text) <= room.width())
            break;
    }
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(room, Qt::AlignCenter | Qt::TextSingleLine,
                     plainText::paintedName(text, QFontMetricsF(font), room.width()));
}

void LayoutButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    pressed_ = true;
    dragging_ = false;
    pressGlobal_ = event->globalPosition();
}

void LayoutButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressed_)
        return;
    // Measured in global coordinates: the button itself moves under the pointer.
    const QPointF translation = event->globalPosition() - pressGlobal_;
    if (!dragging_ && std::hypot(translation.x(), translation.y()) < dragThreshold)
        return;
    dragging_ = true;
    if (onSelect)
        onSelect();
    if (onDrag)
        onDrag(QSizeF(translation.x(), translation.y()));
}

void LayoutButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed_)
        return QWidget::mouseReleaseEvent(event);
    pressed_ = false;
    if (std::exchange(dragging_, false)) {
        if (onCommit)
            onCommit();
    } else if (onSelect) {
        onSelect();
    }
}

} // namespace velmor
