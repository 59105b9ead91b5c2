#pragma once

#include "ui/devices/HIDInspectorController.h"
#include "ui/devices/HIDSampleListModel.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QPushButton;

namespace velmor {

class Switch;

class AppModel;

// The HID inspector sheet: connected devices (with Ignore / Unignore), the newest
// raw HID events, Clear and Copy, and naming an event's usage as a button id.
// The presenter shows it (e.g. in a SheetHost) and hides it from onClose, which
// "Close" and the Escape key run.
class HIDInspectorView : public QWidget {
public:
    // The smallest the sheet gets (more where its rows need it), and the size it
    // opens at where the screen has room.
    static constexpr QSize smallestSize{720, 520};
    static constexpr QSize openingSize{900, 640};

    explicit HIDInspectorView(AppModel& model, QWidget* parent = nullptr);
    ~HIDInspectorView() override;

    QSize sizeHint() const override;

    HIDInspectorController& controller() { return controller_; }
    HIDSampleListModel& eventModel() { return events_; }

    std::function<void()> onClose;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* makeDevicesColumn();
    QWidget* makeEventsColumn();
    QWidget* makeMappingSection();
    void render(const HIDInspectorController::State& state);
    void renderDevices(const HIDInspectorController::State& state);
    void showSelectedEvent(const HIDInspectorController::State& state);
    void showDeviceMenu(const QPoint& at);

    HIDInspectorController controller_;
    HIDSampleListModel events_;
    QList<ConnectedDeviceInfo> shownDevices_;
    std::optional<QUuid> shownSelectedEvent_;
    QListWidget* deviceList_ = nullptr;
    Switch* onlySelected_ = nullptr;
    QComboBox* picker_ = nullptr;
    QPushButton* ignoreButton_ = nullptr;
    QListView* eventList_ = nullptr;
    QLineEdit* labelField_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QLabel* selectedLine_ = nullptr;
    Subscription subscription_;
};

} // namespace velmor
