#pragma once

#include "ui/mapping/MappingController.h"

#include <QWidget>

class QGraphicsOpacityEffect;
class QStackedWidget;

namespace velmor {

class DeviceCanvas;

// The centre of the window: the permission banner while a permission is missing
// ("permissionBanner", its button "permissionsHelp"), the toolbar, and the device
// canvas on a rounded panel, or "No device selected" for a device without buttons.
// Outside the mappings mode the canvas panel is dimmed.
class CenterColumn : public QWidget {
public:
    explicit CenterColumn(MappingController& controller, QWidget* parent = nullptr);

    DeviceCanvas* canvas() const { return canvas_; }
    qreal canvasOpacity() const;

private:
    void render(const MappingController::State& state);

    MappingController& controller_;
    QWidget* banner_;
    QStackedWidget* canvasStack_;
    DeviceCanvas* canvas_;
    QGraphicsOpacityEffect* dimming_;
    Subscription subscription_;
};

} // namespace velmor
