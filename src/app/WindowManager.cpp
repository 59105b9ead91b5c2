#include "app/WindowManager.h"

#include "app/ContentView.h"
#include "app/MappingHost.h"
#include "app/PromptingWindow.h"
#include "core/AppModel.h"
#include "model/Device.h"
#include "platform/MainQueue.h"
#include "ui/admin/widgets/AdminView.h"
#include "ui/devices/widgets/HIDInspectorView.h"
#include "ui/devices/widgets/DeviceLayoutEditor.h"
#include "ui/devices/widgets/LayoutEditorWindowController.h"
#include "ui/mapping/MappingController.h"
#include "ui/shared/widgets/SheetHost.h"

#include <QAction>
#include <QEvent>
#include <QMenuBar>

#include <algorithm>

namespace velmor {

// Reports the windows' showing, hiding and closing.
class WindowManager::Tracker : public QObject {
public:
    explicit Tracker(const WindowManager& manager) : manager_(manager) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
            manager_.windowsChanged();
        return QObject::eventFilter(watched, event);
    }

private:
    const WindowManager& manager_;
};

WindowManager::WindowManager(AppModel& model) : model_(model), tracker_(std::make_unique<Tracker>(*this)) {}

WindowManager::~WindowManager()
{
    onWindowsChanged = nullptr;
    for (const QPointer<QWidget>& window : made_)
        delete window.data();
}

void WindowManager::setCommands(QList<QAction*> commands) { commands_ = std::move(commands); }

void WindowManager::setWindowMenu(QMenu* menu) { windowMenu_ = menu; }

// ---------------------------------------------------------------- the views of the windows

QWidget* WindowManager::makeMappingView(Prompter& prompter)
{
    auto* host = new MappingHost(model_, prompter);
    MappingController::Requests& requests = host->controller().requests;
    requests.openAdmin = [this] { openAdmin(true); };
    requests.showHIDInspector = [this] { presentHIDInspector(); };
    requests.showLayoutEditor = [this](const Device& device) { showLayoutEditor(device); };
    requests.closeLayoutEditor = [this] { closeLayoutEditor(); };
    // The editor belongs to this window's controller: it goes with it.
    QObject::connect(host, &QObject::destroyed, tracker_.get(), [this] { closeLayoutEditor(); });
    mappingHost_ = host;
    return host;
}

QWidget* WindowManager::makeAdminWindow()
{
    // The view fixes its own size and titles itself "Admin / Tools".
    return new PromptingWindow([this](Prompter& prompter) { return new AdminView(model_, prompter); });
}

QWidget* WindowManager::makeHIDInspector(const std::function<void()>& close)
{
    auto* view = new HIDInspectorView(model_);
    view->onClose = close;
    return view;
}

// ---------------------------------------------------------------- opening

void WindowManager::openMappings()
{
    if (!mapping_) {
        auto* window = new PromptingWindow([this](Prompter& prompter) {
            content_ = new ContentView(makeMappingView(prompter));
            return content_.data();
        });
        window->setWindowTitle(mappingTitle);
        if (windowMenu_)
            window->menuBar()->addMenu(windowMenu_);
        content_->onAppear = [this] {
            if (mapping_)
                mapping_->activateWindow();
            // Once the window is up: the first of the application's windows in front.
            postToMain([tracker = QPointer<QObject>(tracker_.get()), this] {
                if (tracker)
                    activate();
            });
        };
        window->resize(ContentView::contentSize);
        mapping_ = window;
        adopt(*window);
    }
    mapping_->show();
    mapping_->raise();
    mapping_->activateWindow();
}

void WindowManager::openAdmin(bool focus)
{
    if (!admin_) {
        admin_ = makeAdminWindow();
        adopt(*admin_);
    }
    admin_->show();
    admin_->raise();
    if (focus)
        admin_->activateWindow();
}

void WindowManager::showHIDInspector()
{
    if (mappingHost_)
        mappingHost_->controller().showHIDInspector();
}

void WindowManager::showEventLog()
{
    openMappings();
    if (mappingHost_)
        mappingHost_->controller().showEventLog();
}

void WindowManager::presentHIDInspector()
{
    if (!inspector_) {
        // The sheet's close action: the presenter hides the host.
        auto close = [this] {
            if (inspector_)
                inspector_->close();
        };
        auto* host = new SheetHost(makeHIDInspector(close), close, mapping_);
        host->setWindowTitle(inspectorTitle);
        // At the sheet's own size (within the screen), not cut to a share of the screen.
        host->resize(host->sizeHint());
        // Gone: the mapping window's controller hears of it, if it is still there.
        QObject::connect(host, &QObject::destroyed, tracker_.get(), [controller = mappingHost_->weakController()] {
            if (const auto alive = controller.lock())
                alive->hidInspectorClosed();
        });
        inspector_ = host;
        adopt(*host);
    }
    inspector_->show();
    inspector_->raise();
}

void WindowManager::showLayoutEditor(const Device& device)
{
    if (!layoutEditor_)
        layoutEditor_ = std::make_unique<LayoutEditorWindowController>();
    const bool made = !layoutEditor_->window();
    layoutEditor_->show(device, model_, [controller = mappingHost_->weakController()] {
        if (const auto alive = controller.lock())
            alive->layoutEditorClosed();
    });
    // The controller keeps its window for the next show: it is tracked, not dropped.
    if (QWidget* window = layoutEditor_->window(); made && window) {
        window->addActions(commands_);
        window->installEventFilter(tracker_.get());
    }
    windowsChanged();
}

void WindowManager::closeLayoutEditor()
{
    if (layoutEditor_)
        layoutEditor_->close();
}

void WindowManager::adopt(QWidget& window)
{
    window.setAttribute(Qt::WA_DeleteOnClose);
    window.addActions(commands_);
    window.installEventFilter(tracker_.get());
    QObject::connect(&window, &QObject::destroyed, tracker_.get(), [this] { windowsChanged(); });
    made_.removeIf([](const QPointer<QWidget>& made) { return made.isNull(); });
    made_.append(&window);
}

// ---------------------------------------------------------------- the windows as a whole

QList<QWidget*> WindowManager::windows() const
{
    QList<QWidget*> windows;
    for (const QPointer<QWidget>& window : made_)
        if (window)
            windows.append(window);
    if (QWidget* editor = layoutEditor())
        windows.append(editor);
    return windows;
}

bool WindowManager::hasVisibleWindows() const
{
    const QList<QWidget*> all = windows();
    return std::any_of(all.begin(), all.end(), [](const QWidget* window) { return window->isVisible(); });
}

void WindowManager::activate()
{
    for (QWidget* window : windows())
        if (window->isVisible()) {
            window->raise();
            window->activateWindow();
            return;
        }
}

void WindowManager::arrangeInFront()
{
    for (QWidget* window : windows())
        if (window->isVisible())
            window->raise();
}

void WindowManager::closeAll()
{
    // The inspector before the window it sits on.
    QList<QWidget*> all = windows();
    std::reverse(all.begin(), all.end());
    for (QWidget* window : all)
        window->close();
}

void WindowManager::windowsChanged() const
{
    if (onWindowsChanged)
        onWindowsChanged();
}

QWidget* WindowManager::mappingWindow() const { return mapping_; }

ContentView* WindowManager::contentView() const { return content_; }

MappingHost* WindowManager::mappingHost() const { return mappingHost_; }

QWidget* WindowManager::adminWindow() const { return admin_; }

QWidget* WindowManager::layoutEditor() const { return layoutEditor_ ? layoutEditor_->window() : nullptr; }

QWidget* WindowManager::hidInspector() const { return inspector_; }

} // namespace velmor
