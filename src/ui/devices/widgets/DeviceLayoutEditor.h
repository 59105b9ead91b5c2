#pragma once

#include "ui/devices/LayoutEditorController.h"

#include <QList>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;

namespace velmor {

class Switch;

class AppModel;
class LayoutCanvasView;
class LayoutPresetCard;

// The content of the "Layout Editor" window for one device: header with snap
// controls, the canvas, and the inspector of the selected button (size sliders
// and fields, presets). It shows the controller's state and calls its commands.
class DeviceLayoutEditor : public QWidget {
public:
    DeviceLayoutEditor(const Device& device, AppModel& model, QWidget* parent = nullptr);
    ~DeviceLayoutEditor() override;

    // The size fields' number format.
    static SizeFormatter makeSizeFormatter() { return SizeFormatter(); }

    LayoutEditorController& controller() { return *controller_; }
    LayoutCanvasView* canvas() const { return canvas_; }

private:
    QWidget* makeHeader();
    QWidget* makeInspector();
    void render(const LayoutEditorController::State& state);
    void commitField(QLineEdit* field, bool width);

    std::unique_ptr<LayoutEditorController> controller_;
    SizeFormatter formatter_ = makeSizeFormatter();
    Switch* snap_ = nullptr;
    QSpinBox* stepper_ = nullptr;
    QPushButton* reset_ = nullptr; // NiceButtons
    QPushButton* done_ = nullptr;
    LayoutCanvasView* canvas_ = nullptr;
    QLabel* placeholder_ = nullptr;
    QWidget* selectionPanel_ = nullptr;
    QLabel* selectedLabel_ = nullptr;
    QLabel* selectedId_ = nullptr;
    QSlider* widthSlider_ = nullptr;
    QSlider* heightSlider_ = nullptr;
    QLineEdit* widthField_ = nullptr;
    QLineEdit* heightField_ = nullptr;
    QList<LayoutPresetCard*> presetCards_;
    std::optional<QString> shownSelection_;
    Subscription subscription_;
};

} // namespace velmor
