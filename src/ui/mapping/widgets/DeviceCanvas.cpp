#include "ui/mapping/widgets/DeviceCanvas.h"

#include "platform/Text.h"
#include "ui/mapping/MappingTexts.h"
#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/ButtonFrames.h"
#include "ui/shared/Contrast.h"
#include "ui/shared/PlainText.h"

#include <QDragEnterEvent>
#include <QHelpEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace velmor {

namespace {

// The tool a drag carries: "tool:" and a UUID.
std::optional<QUuid> draggedToolId(const QMimeData* data)
{
    if (!data || !data->hasText())
        return std::nullopt;
    const QString text = data->text();
    if (!text.startsWith(QLatin1String("tool:")))
        return std::nullopt;
    const QUuid id = QUuid::fromString(QStringView(text).mid(5));
    return id.isNull() ? std::nullopt : std::optional<QUuid>(id);
}

} // namespace

DeviceCanvas::DeviceCanvas(MappingController& controller, QWidget* parent) : QWidget(parent), controller_(controller)
{
    setObjectName(QStringLiteral("deviceCanvas"));
    setAcceptDrops(true);
    setMouseTracking(true);
    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

void DeviceCanvas::render(const MappingController::State& state)
{
    QList<canvasLayout::Button> buttons =
        canvasLayout::buttons({state.activeDevice, state.overlayOverrides, state.buttonMappings,
                               state.activePacsProfile, state.selectedButtonId, state.pressedButtonId});
    const double ratio = canvasLayout::aspectRatio(state.activeDevice, state.overlayOverrides);
    tools_ = state.activePacsProfile.tools;
    // Most changes of the window's state (a save, a log line, another button's
    // tool) leave most buttons as they are drawn: only the changed ones repaint.
    if (ratio != ratio_ || buttons.size() != buttons_.size()) {
        ratio_ = ratio;
        buttons_ = std::move(buttons);
        update();
        return;
    }
    const QRectF canvas = canvasRect();
    QRegion changed;
    for (qsizetype i = 0; i < buttons.size(); ++i)
        if (!(buttons[i] == buttons_[i]))
            changed += paintedRect(buttons_[i], canvas).united(paintedRect(buttons[i], canvas));
    buttons_ = std::move(buttons);
    if (!changed.isEmpty())
        update(changed);
}

QRect DeviceCanvas::paintedRect(const canvasLayout::Button& button, const QRectF& canvas) const
{
    // The glow of a held button reaches 8 pixels out, its edge one more.
    const QRectF rect = canvasLayout::pointRect(button.frame, canvas.size()).translated(canvas.topLeft());
    return rect.adjusted(-10, -10, 10, 10).toAlignedRect();
}

QRectF DeviceCanvas::canvasRect() const { return canvasLayout::canvasRect(QSizeF(size()), ratio_); }

QRectF DeviceCanvas::buttonRect(const QString& buttonId) const
{
    const QRectF canvas = canvasRect();
    for (const canvasLayout::Button& button : buttons_)
        if (button.button.id == buttonId)
            return canvasLayout::pointRect(button.frame, canvas.size()).translated(canvas.topLeft());
    return {};
}

qsizetype DeviceCanvas::buttonAt(const QPointF& position) const
{
    const QRectF canvas = canvasRect();
    return canvasLayout::buttonAt(buttons_, canvas.size(), position - canvas.topLeft());
}

void DeviceCanvas::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF canvas = canvasRect();
    painter.setBrush(Theme::surface());
    painter.setPen(QPen(Theme::withOpacity(Theme::border(), 0.6), 1));
    painter.drawRoundedRect(canvas.adjusted(0.5, 0.5, -0.5, -0.5), 16, 16);
    for (const canvasLayout::Button& button : buttons_) {
        if (event->region().intersects(paintedRect(button, canvas)))
            paintButton(painter, button,
                        canvasLayout::pointRect(button.frame, canvas.size()).translated(canvas.topLeft()));
    }
}

void DeviceCanvas::paintButton(QPainter& painter, const canvasLayout::Button& button, const QRectF& rect) const
{
    using canvasLayout::Look;
    const Look look = button.look();
    if (button.pressed) {
        // The glow of a held button: soft blue rings fading outwards.
        painter.setPen(Qt::NoPen);
        for (int ring = 8; ring >= 1; ring -= 1) {
            painter.setBrush(Theme::withOpacity(Theme::blue(), 0.5 * (1.0 - ring / 9.0) / 4));
            painter.drawRoundedRect(rect.adjusted(-ring, -ring, ring, ring), 10 + ring, 10 + ring);
        }
    }
    const QColor fill = look == Look::selected ? Theme::accentPurple()
                        : look == Look::mapped ? Theme::withOpacity(Theme::accentGreen(), 0.6)
                                               : Theme::withOpacity(Theme::accentCyan(), 0.25);
    const QColor border = look == Look::selected ? Theme::accentPurple()
                          : look == Look::mapped ? Theme::accentGreen()
                                                 : Theme::border();
    const qreal line = look == Look::selected ? 2 : 1;
    painter.setBrush(fill);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(rect, 10, 10);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(border, line));
    painter.drawRoundedRect(rect.adjusted(line / 2, line / 2, -line / 2, -line / 2), 10, 10);

    // Names from data drawn each on one line, that turn nothing drawn after them.
    const QString label = text::visibleControls(compactButtonLabel(button.button, rect));
    const bool showTool = canvasLayout::showsToolName(rect) && button.tool;
    const QRectF inner = rect.adjusted(3, 2, -3, -2);
    const QFont labelFont = mappingViews::fittedFont(Theme::boldFont(Theme::TextStyle::caption), label, inner.width(), 0.6);
    const QFontMetricsF labelMetrics(labelFont);
    QFont toolFont;
    qreal toolHeight = 0;
    QString toolName;
    if (showTool) {
        toolName = text::visibleControls(button.tool->name);
        toolFont = mappingViews::fittedFont(Theme::font(Theme::TextStyle::caption2), toolName, inner.width(), 0.6);
        toolHeight = QFontMetricsF(toolFont).height() + 2;
    }
    const qreal top = inner.center().y() - (labelMetrics.height() + toolHeight) / 2;
    // The fills are the Parts'; the texts keep their colours where those are legible on them.
    const QColor background = contrast::composite(fill, Theme::surface());
    painter.setFont(labelFont);
    painter.setPen(contrast::legibleText(Qt::white, background));
    painter.drawText(QRectF(inner.left(), top, inner.width(), labelMetrics.height()), Qt::AlignCenter,
                     names_(label, labelFont, inner.width()));
    if (showTool) {
        painter.setFont(toolFont);
        painter.setPen(contrast::legibleText(Theme::accentCyan(), background));
        painter.drawText(QRectF(inner.left(), top + labelMetrics.height() + 2, inner.width(), toolHeight - 2),
                         Qt::AlignCenter,
                         names_(toolName, toolFont, inner.width()));
    }
}

void DeviceCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const qsizetype index = buttonAt(event->position());
    if (index >= 0)
        controller_.selectButton(buttons_[index].button.id);
}

bool DeviceCanvas::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const qsizetype index = buttonAt(help->pos());
        if (index >= 0)
            QToolTip::showText(help->globalPos(),
                               plainText::toolTip(mappingText::canvasButtonHelp(buttons_[index].button,
                                                                                buttons_[index].tool)),
                               this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void DeviceCanvas::dragEnterEvent(QDragEnterEvent* event)
{
    if (draggedToolId(event->mimeData()))
        event->acceptProposedAction();
}

void DeviceCanvas::dragMoveEvent(QDragMoveEvent* event)
{
    if (draggedToolId(event->mimeData()) && buttonAt(event->position()) >= 0)
        event->acceptProposedAction();
    else
        event->ignore();
}

void DeviceCanvas::dropEvent(QDropEvent* event)
{
    const std::optional<QUuid> toolId = draggedToolId(event->mimeData());
    const qsizetype index = buttonAt(event->position());
    if (!toolId || index < 0)
        return event->ignore();
    const auto tool = std::find_if(tools_.cbegin(), tools_.cend(), [&](const RadiologyTool& t) { return t.id == *toolId; });
    if (tool == tools_.cend())
        return event->ignore();
    event->acceptProposedAction();
    const RadiologyTool picked = *tool;
    controller_.selectButton(buttons_[index].button.id);
    controller_.selectTool(picked);
}

} // namespace velmor
