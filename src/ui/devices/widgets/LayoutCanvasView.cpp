#include "ui/devices/widgets/LayoutCanvasView.h"

#include "ui/shared/Theme.h"
#include "ui/devices/widgets/LayoutButton.h"

#include <QPainter>
#include <QPainterPath>

namespace velmor {

LayoutCanvasView::LayoutCanvasView(LayoutEditorController& controller, QWidget* parent)
    : QWidget(parent), controller_(controller)
{
    setObjectName(QStringLiteral("layoutCanvas"));
    setMinimumSize(200, 200);
    const Device& device = controller_.device();
    for (qsizetype index = 0; index < device.buttons.size(); ++index) {
        const DeviceButton& button = device.buttons[index];
        if (buttons_.contains(button.id))
            continue; // a repeated id: the first button answers to it
        auto* view = new LayoutButton(button, this);
        const QString id = button.id;
        view->onSelect = [this, id] { controller_.select(id); };
        view->onDrag = [this, id](QSizeF translation) {
            // The rectangle the view was last drawn at; used only as the drag's start.
            NormalizedRect start;
            for (const auto& shown : state_.buttons)
                if (shown.id == id) {
                    start = shown.rect;
                    break;
                }
            controller_.drag(id, translation, QSizeF(size()), start);
        };
        view->onCommit = [this, id] { controller_.commitDrag(id); };
        buttons_.insert(id, view);
    }
}

void LayoutCanvasView::render(const LayoutEditorController::State& state)
{
    state_ = state;
    placeButtons();
    update();
}

void LayoutCanvasView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeButtons();
}

void LayoutCanvasView::placeButtons()
{
    const double w = width();
    const double h = height();
    QSet<QString> placed;
    for (const auto& button : state_.buttons) {
        LayoutButton* view = buttons_.value(button.id);
        if (!view || placed.contains(button.id))
            continue;
        placed.insert(button.id);
        const QRectF rect(w * button.rect.x, h * button.rect.y, w * button.rect.width, h * button.rect.height);
        view->setGeometry(rect.toRect());
        view->setSelected(button.selected);
        view->raise(); // list order is drawing order
        view->show();
    }
}

void LayoutCanvasView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath panel;
    panel.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 18, 18);
    painter.fillPath(panel, Theme::surface());
    painter.setPen(QPen(Theme::withOpacity(Theme::border(), 0.6), 1));
    painter.drawPath(panel);

    painter.setPen(QPen(Theme::withOpacity(Qt::white, 0.06), 1));
    const double w = width();
    const double h = height();
    for (const double p : state_.gridLines) {
        painter.drawLine(QPointF(p * w, 0), QPointF(p * w, h));
        painter.drawLine(QPointF(0, p * h), QPointF(w, p * h));
    }
}

} // namespace velmor
