#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QDialog;
class QMenu;

namespace velmor {

class AppModel;
class ContentView;
class LayoutEditorWindowController;
class MappingHost;
struct Device;
class PromptingWindow;
class Prompter;

// The application's windows, each made when it is first asked for and dropped
// when the user closes it (the next one starts afresh): the mapping window
// ("Velmor"), the admin window ("Admin / Tools"), and the HID inspector and the
// layout editor, which the mapping window asks for. Every window gets the
// application's shortcuts. This is the one place that knows which view fills
// which window and how the windows reach each other. Main thread.
class WindowManager {
public:
    static inline const QString mappingTitle = QStringLiteral("Velmor");
    static inline const QString adminTitle = QStringLiteral("Admin / Tools");
    static inline const QString inspectorTitle = QStringLiteral("HID Inspector");

    explicit WindowManager(AppModel& model);
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    // Added to every window made from now on: the application-wide shortcuts.
    void setCommands(QList<QAction*> commands);
    // Where the desktop has no tray: the mapping window carries this menu in its
    // menu bar (the menu stays the caller's).
    void setWindowMenu(QMenu* menu);

    // Shows the window, made if there is none, in front.
    void openMappings();
    // Shows the admin window, made if there is none, and raises it; `focus` also
    // makes it the active window (the menu does, the keyboard command does not).
    void openAdmin(bool focus = false);
    // The menu command: the mapping window shows its HID inspector; without a
    // mapping window nothing happens.
    void showHIDInspector();
    // The mapping window in front with its Event Log expanded.
    void showEventLog();

    bool hasVisibleWindows() const;
    // Brings the first visible window (in the order they were made) to the front, focused.
    void activate();
    // Raises every visible window, in the order they were made.
    void arrangeInFront();
    void closeAll();

    QWidget* mappingWindow() const;
    ContentView* contentView() const;
    MappingHost* mappingHost() const;
    QWidget* adminWindow() const;
    QWidget* hidInspector() const;
    // None before the mapping window first asked for it; hidden once closed.
    QWidget* layoutEditor() const;

    // Runs whenever a window is shown, hidden or gone.
    std::function<void()> onWindowsChanged;

private:
    class Tracker;

    // The views of the windows; `prompter` asks over the view's window.
    QWidget* makeMappingView(Prompter& prompter);
    QWidget* makeAdminWindow();
    QWidget* makeHIDInspector(const std::function<void()>& close);

    // What the mapping window asks for.
    void presentHIDInspector();
    void showLayoutEditor(const Device& device);
    void closeLayoutEditor();
    // Shortcuts, delete-on-close and visibility tracking for a new window.
    void adopt(QWidget& window);
    QList<QWidget*> windows() const;
    void windowsChanged() const;

    AppModel& model_;
    QList<QAction*> commands_;
    QPointer<QMenu> windowMenu_;
    QPointer<PromptingWindow> mapping_;
    QPointer<ContentView> content_;
    QPointer<MappingHost> mappingHost_;
    QPointer<QWidget> admin_;
    QPointer<QDialog> inspector_;
    std::unique_ptr<LayoutEditorWindowController> layoutEditor_;
    // Every window made, oldest first; gone ones read as null.
    QList<QPointer<QWidget>> made_;
    std::unique_ptr<Tracker> tracker_;
};

} // namespace velmor
