#pragma once

#include "model/DeviceButton.h"

#include <QPoint>
#include <QSizeF>
#include <QWidget>

#include <functional>

namespace velmor {

// One device button on the layout editor's canvas, covering its rectangle. A click
// selects it; a drag of at least 10 points selects it and reports, on every move,
// the total movement since the drag began; the release ends the drag.
class LayoutButton : public QWidget {
public:
    static constexpr int dragThreshold = 10;

    LayoutButton(DeviceButton button, QWidget* parent);

    void setSelected(bool selected);
    bool isSelected() const { return selected_; }
    // The text drawn on the button at its current size.
    QString label() const;

    std::function<void()> onSelect;
    std::function<void(QSizeF)> onDrag;
    std::function<void()> onCommit;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    DeviceButton button_;
    bool selected_ = false;
    bool pressed_ = false;
    bool dragging_ = false;
    QPointF pressGlobal_;
};

} // namespace velmor
