#include "ui/devices/widgets/LayoutPresetCard.h"

#include "ui/shared/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace velmor {

namespace {
constexpr int padding = 8;
constexpr int spacing = 6;
QFont nameFont() { return Theme::font(Theme::TextStyle::caption2); }
} // namespace

void LayoutPresetPreview::paint(QPainter& painter, const QRectF& space) const
{
    painter.save();
    painter.setClipRect(space);
    QPainterPath frame;
    frame.addRoundedRect(space.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    painter.setPen(QPen(Theme::withOpacity(Theme::border(), 0.5), 1));
    painter.drawPath(frame);
    QRectF shape(QPointF(), presetPreviewSize(preset, space.size()));
    shape.moveCenter(space.center());
    QPainterPath preview;
    preview.addRoundedRect(shape, 6, 6);
    painter.fillPath(preview, Theme::withOpacity(Theme::accentCyan(), 0.5));
    painter.restore();
}

LayoutPresetCard::LayoutPresetCard(LayoutSizePreset preset, QWidget* parent)
    : QAbstractButton(parent), preset_(std::move(preset))
{
    setObjectName(QStringLiteral("preset_") + preset_.name);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void LayoutPresetCard::setActive(bool active)
{
    if (active_ == active)
        return;
    active_ = active;
    update();
}

QSize LayoutPresetCard::sizeHint() const
{
    const int line = QFontMetrics(nameFont()).height();
    return {110, padding + previewHeight + spacing + 2 * line + spacing + line + padding};
}

void LayoutPresetCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal lineWidth = active_ ? 2 : 1;
    const QRectF card = QRectF(rect()).adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2, -lineWidth / 2);
    QPainterPath background;
    background.addRoundedRect(card, 10, 10);
    painter.fillPath(background, Theme::surface());
    painter.setPen(QPen(active_ ? Theme::accentPurple() : Theme::border(), lineWidth));
    painter.drawPath(background);

    const QRectF inner = QRectF(rect()).adjusted(padding, padding, -padding, -padding);
    const QRectF space(inner.left(), inner.top(), inner.width(), previewHeight);
    LayoutPresetPreview{preset_}.paint(painter, space);

    const QFont font = nameFont();
    const int line = QFontMetrics(font).height();
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRectF nameRect(inner.left(), space.bottom() + spacing, inner.width(), 2 * line);
    painter.drawText(nameRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, preset_.name);
    painter.setPen(Theme::secondaryText());
    painter.drawText(QRectF(inner.left(), nameRect.bottom() + spacing, inner.width(), line), Qt::AlignCenter,
                     preset_.sizeText());
}

} // namespace velmor
