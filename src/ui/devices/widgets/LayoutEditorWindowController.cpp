#include "ui/devices/widgets/LayoutEditorWindowController.h"

#include "model/Device.h"
#include "ui/devices/widgets/DeviceLayoutEditor.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace velmor {

// The top-level window; its close button reaches the controller.
class LayoutEditorWindowController::Window : public QWidget {
public:
    explicit Window(std::function<void()> willClose) : willClose_(std::move(willClose))
    {
        setObjectName(QStringLiteral("layoutEditorWindow"));
        setWindowTitle(tr("Layout Editor"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        // The editor's minimum size may exceed a small screen: it scrolls then.
        scroll_ = new QScrollArea(this);
        scroll_->setFrameShape(QFrame::NoFrame);
        scroll_->setWidgetResizable(true);
        layout->addWidget(scroll_);
    }

    void setContent(DeviceLayoutEditor* editor)
    {
        if (QWidget* old = scroll_->takeWidget()) {
            old->hide();
            old->deleteLater();
        }
        scroll_->setWidget(editor);
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        QWidget::closeEvent(event);
        if (event->isAccepted() && willClose_)
            willClose_();
    }

private:
    std::function<void()> willClose_;
    QScrollArea* scroll_ = nullptr;
};

LayoutEditorWindowController::LayoutEditorWindowController() = default;
LayoutEditorWindowController::~LayoutEditorWindowController() = default;

void LayoutEditorWindowController::show(const Device& device, AppModel& model, std::function<void()> onClose)
{
    onClose_ = std::move(onClose);
    auto* editor = new DeviceLayoutEditor(device, model);
    editor->controller().onDone = [this] { runOnClose(); };
    editor_ = editor;

    if (window_) {
        window_->setContent(editor);
        window_->show();
        window_->raise();
        window_->activateWindow();
        return;
    }
    window_ = std::make_unique<Window>([this] { windowWillClose(); });
    window_->setContent(editor);
    // The default size, never more than the screen has room for; centred once.
    QRect area(0, 0, defaultWidth, defaultHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    const QSize size = QSize(defaultWidth, defaultHeight).boundedTo(area.size());
    window_->resize(size);
    window_->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
    window_->show();
    window_->raise();
    window_->activateWindow();
}

QWidget* LayoutEditorWindowController::window() const { return window_.get(); }

void LayoutEditorWindowController::close()
{
    if (window_)
        window_->close();
}

void LayoutEditorWindowController::windowWillClose() { runOnClose(); }

void LayoutEditorWindowController::runOnClose()
{
    // Once per show: "Done" and the closing that the owner does next are one close.
    if (auto action = std::exchange(onClose_, nullptr))
        action();
}

} // namespace velmor
