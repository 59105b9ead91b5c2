#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace velmor {

class AppModel;

// The application's mark on the desktop: the tray icon "VelmorMenuIcon" titled
// "Velmor", whose click or context menu opens the menu. Each time it is shown
// it hands the model a fresh way to open the mapping window and lets the model
// open it, once per run. Where the desktop has no tray there is no icon, but
// showing still opens the mapping window the same way.
class MenuBarLabel {
public:
    MenuBarLabel(AppModel& model, std::function<void()> openMappings);
    ~MenuBarLabel();
    MenuBarLabel(const MenuBarLabel&) = delete;
    MenuBarLabel& operator=(const MenuBarLabel&) = delete;

    // `menu` is the tray icon's menu; none: no tray.
    void show(QMenu* menu);
    // Before the model goes: it keeps no way back to the label.
    void detach();

    // None where the desktop has no tray.
    QSystemTrayIcon* trayIcon() const { return tray_.get(); }

private:
    void appeared();

    AppModel& model_;
    std::function<void()> openMappings_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<QObject> connections_ = std::make_unique<QObject>();
};

} // namespace velmor
