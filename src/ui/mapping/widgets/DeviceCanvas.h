#pragma once

#include "ui/mapping/CanvasLayout.h"
#include "ui/mapping/MappingController.h"
#include "ui/shared/PaintedNames.h"

#include <QWidget>

namespace velmor {

// The active device drawn as its buttons on a rounded panel shaped after the
// layout's extent. A click selects a button; a tool dropped on a button
// ("tool:<UUID>") selects the button and picks the tool for it.
class DeviceCanvas : public QWidget {
public:
    explicit DeviceCanvas(MappingController& controller, QWidget* parent = nullptr);

    // The canvas inside the widget, and a button's rectangle in widget coordinates.
    QRectF canvasRect() const;
    QRectF buttonRect(const QString& buttonId) const;
    const QList<canvasLayout::Button>& buttons() const { return buttons_; }

    QSize minimumSizeHint() const override { return {200, 360}; }
    QSize sizeHint() const override { return {640, 480}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void render(const MappingController::State& state);
    qsizetype buttonAt(const QPointF& position) const;
    // What a button's painting covers, its glow included.
    QRect paintedRect(const canvasLayout::Button& button, const QRectF& canvas) const;
    void paintButton(QPainter& painter, const canvasLayout::Button& button, const QRectF& rect) const;

    MappingController& controller_;
    QList<canvasLayout::Button> buttons_;
    double ratio_ = 1.0;
    QList<RadiologyTool> tools_; // the active PACS profile's, for drops
    mutable PaintedNames names_;
    Subscription subscription_;
};

} // namespace velmor
