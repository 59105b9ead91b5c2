#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

namespace velmor {

class AppModel;
class DeviceLayoutEditor;
struct Device;

// Owns the "Layout Editor" window. show() puts a fresh editor for the device into
// it (the window is made on the first show and reused afterwards, keeping its
// place and size) and remembers the owner's close action. That action runs once
// per show, whichever comes first of the editor's "Done" and the window closing;
// "Done" alone does not close the window: the owner does, through close().
class LayoutEditorWindowController {
public:
    static constexpr int defaultWidth = 1200;
    static constexpr int defaultHeight = 700;

    LayoutEditorWindowController();
    ~LayoutEditorWindowController();
    LayoutEditorWindowController(const LayoutEditorWindowController&) = delete;
    LayoutEditorWindowController& operator=(const LayoutEditorWindowController&) = delete;

    void show(const Device& device, AppModel& model, std::function<void()> onClose);
    // Closes the window when there is one (what the owner does once its close action ran).
    void close();

    // None before the first show.
    QWidget* window() const;
    DeviceLayoutEditor* editor() const { return editor_; }

private:
    class Window;
    void windowWillClose();
    void runOnClose();

    std::unique_ptr<Window> window_;
    QPointer<DeviceLayoutEditor> editor_;
    std::function<void()> onClose_;
};

} // namespace velmor
