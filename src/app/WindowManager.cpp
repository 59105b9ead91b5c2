#include "app/WindowManager.h"

#include "app/ContentView.h"
#include "app/PlaceholderView.h"
#include "app/PromptingWindow.h"
#include "core/AppModel.h"
#include "platform/MainQueue.h"
#include "ui/admin/widgets/AdminView.h"
#include "ui/devices/widgets/HIDInspectorView.h"
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
    (void)prompter; // the mapping view's dialogs
    return new PlaceholderView(QStringLiteral("Mapping window"), Qt::AlignTop | Qt::AlignLeft);
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
    if (mapping_)
        presentHIDInspector();
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
        inspector_ = host;
        adopt(*host);
    }
    inspector_->show();
    inspector_->raise();
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

QWidget* WindowManager::adminWindow() const { return admin_; }

QWidget* WindowManager::hidInspector() const { return inspector_; }

} // namespace velmor
