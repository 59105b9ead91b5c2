#pragma once

#include <QObject>

#include <functional>

class QAction;

namespace velmor {

// The application's own commands, as shortcuts that work in every window of the
// application: "Manage Tools…" (Ctrl+Shift+,) and "HID Inspector…" (Ctrl+Shift+I).
// The window manager adds both actions to each window it makes.
class AppCommands : public QObject {
public:
    AppCommands(std::function<void()> manageTools, std::function<void()> showHIDInspector);

    QAction* manageTools() const { return manageTools_; }
    QAction* hidInspector() const { return hidInspector_; }
    QList<QAction*> actions() const { return {manageTools_, hidInspector_}; }

private:
    QAction* manageTools_;
    QAction* hidInspector_;
};

} // namespace velmor
