#pragma once

#include "platform/Published.h"
#include "ui/admin/ToggleEditorController.h"
#include "ui/admin/widgets/IconPickerHost.h"

#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace velmor {

class RepeatSpeedSlider;
class ShortcutRecorder;
class ToolIconView;
class Switch;

// The toggle editor sheet: name, icon, the steps with a recorder each, and the
// repeat settings. "Save" and "Cancel" report through the controller.
class ToggleEditorSheet : public QWidget {
public:
    explicit ToggleEditorSheet(std::shared_ptr<ToggleEditorController> controller, QWidget* parent = nullptr);
    ~ToggleEditorSheet() override;

    ToggleEditorController& controller() { return *controller_; }
    // The icon picker while it is open.
    QWidget* iconPicker() const;

private:
    void render(const ToggleEditorController::State& state);
    void rebuildSteps(qsizetype count);
    void openIconPicker();

    std::shared_ptr<ToggleEditorController> controller_;
    QLabel* title_;
    QLineEdit* name_;
    ToolIconView* icon_;
    QLineEdit* symbol_;
    QLabel* customLabel_;
    QWidget* stepsBox_;
    QVBoxLayout* stepsLayout_;
    QList<ShortcutRecorder*> recorders_;
    Switch* repeat_;
    RepeatSpeedSlider* speedRow_;
    IconPickerHost picker_;
    Subscription subscription_;
};

} // namespace velmor
