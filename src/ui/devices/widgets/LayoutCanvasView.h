#pragma once

#include "ui/devices/LayoutEditorController.h"

#include <QHash>
#include <QWidget>

namespace velmor {

class LayoutButton;

// The layout editor's canvas: a rounded panel, the snap grid while snapping is
// on, and one draggable view per device button at its rectangle × canvas size.
// The button views live as long as the canvas, so a drag survives the redraws
// its own moves cause.
class LayoutCanvasView : public QWidget {
public:
    LayoutCanvasView(LayoutEditorController& controller, QWidget* parent);

    void render(const LayoutEditorController::State& state);
    LayoutButton* buttonView(const QString& id) const { return buttons_.value(id); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeButtons();

    LayoutEditorController& controller_;
    LayoutEditorController::State state_;
    QHash<QString, LayoutButton*> buttons_;
};

} // namespace velmor
