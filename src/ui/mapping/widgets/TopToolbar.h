#pragma once

#include "ui/mapping/MappingController.h"

#include <QWidget>

#include <functional>

class QBoxLayout;
class QLabel;
class QMenu;

namespace velmor {

class DevicePicker;
class NiceButton;
namespace mappingViews {
class Dot;
}

// The toolbar over the canvas: the device picker ("devicePicker") with the
// connection state, "editLayout", "syncNow", the save state ("savedState"),
// "undo", "reset", "clear" and "save". Where the row is short, the device name
// is cut with "…" first (only then); shorter still, the save state and the four commands
// after it move to a second line ("toolbarTrailing").
class TopToolbar : public QWidget {
public:
    // What the window runs for the toolbar's commands.
    struct Actions {
        std::function<void()> onEditLayout;
        std::function<void()> onSyncNow;
        std::function<void(const QString& deviceId)> onSelectDevice;
        std::function<void()> onSave;
        std::function<void()> onUndo;
        std::function<void()> onReset;
        std::function<void()> onClear;
    };

    TopToolbar(MappingController& controller, Actions actions, QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;
    bool isWrapped() const { return wrapped_; }
    // The device's name as the picker draws it at its present width.
    QString shownDeviceName() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void render(const MappingController::State& state);
    int oneLineMinimumWidth() const;
    void setEnabledKeepingFocus(QWidget& button, bool enabled);

    MappingController& controller_;
    Actions actions_;
    QBoxLayout* lines_;
    QWidget* leading_;
    QWidget* trailing_;
    bool wrapped_ = false;
    DevicePicker* devicePicker_;
    QMenu* deviceMenu_;
    QList<QString> menuDeviceIds_;
    mappingViews::Dot* connectionDot_;
    QLabel* connectionText_;
    QLabel* savedState_;
    NiceButton* undo_;
    NiceButton* reset_;
    NiceButton* clear_;
    NiceButton* save_;
    Subscription subscription_;
};

} // namespace velmor
