#pragma once

#include "ui/admin/AdminController.h"
#include "ui/admin/widgets/IconPickerHost.h"

#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;

namespace velmor {

class RepeatSpeedSlider;
class ShortcutRecorder;
class ToolIconView;
class Switch;

// The editor of the selected tool, or a placeholder without one. Every control
// shows the stored tool and writes each change through the controller at once.
class ToolInspector : public QWidget {
public:
    explicit ToolInspector(AdminController& controller, QWidget* parent = nullptr);
    ~ToolInspector() override;

    void render(const AdminController::State& state);
    // The icon picker while it is open.
    QWidget* iconPicker() const;

private:
    QWidget* buildEditor();
    void openIconPicker();

    AdminController& controller_;
    QStackedWidget* pages_;
    ToolIconView* icon_ = nullptr;
    QLineEdit* name_ = nullptr;
    Switch* enabled_ = nullptr;
    QButtonGroup* categories_ = nullptr;
    QWidget* toggleForm_ = nullptr;
    QLabel* steps_ = nullptr;
    QWidget* shortcutForm_ = nullptr;
    ShortcutRecorder* recorder_ = nullptr;
    QAbstractButton* advanced_ = nullptr;
    QWidget* advancedBox_ = nullptr;
    Switch* repeat_ = nullptr;
    RepeatSpeedSlider* speedRow_ = nullptr;
    QLabel* note_ = nullptr;
    IconPickerHost picker_;
};

} // namespace velmor
