#include "ui/shared/widgets/SheetHost.h"

#include <QChildEvent>
#include <QCloseEvent>
#include <QMetaObject>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmor {

namespace {
const char* const confirmProperty = "velmorSheetConfirm";

bool isConfirm(const QPushButton& button) { return button.property(confirmProperty).toBool(); }

bool isReturn(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) && modifiers == Qt::NoModifier;
}
} // namespace

SheetHost::SheetHost(QWidget* sheet, std::function<void()> onDismiss, QWidget* parent)
    : QDialog(parent), sheet_(sheet), onDismiss_(std::move(onDismiss))
{
    setWindowModality(Qt::WindowModal);
    setWindowFlag(Qt::Sheet);
    setWindowTitle(sheet->windowTitle());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(sheet);
    // Before the dialog is shown: it would make the first such button its default.
    leaveReturnToHost(*sheet);
}

void SheetHost::markConfirm(QPushButton& button) { button.setProperty(confirmProperty, true); }

QPushButton* SheetHost::confirmButton(const QWidget& root)
{
    for (QPushButton* button : root.findChildren<QPushButton*>())
        if (isConfirm(*button))
            return button;
    return nullptr;
}

void SheetHost::leaveReturnToHost(QWidget& root)
{
    QList<QWidget*> widgets = root.findChildren<QWidget*>();
    widgets.prepend(&root);
    for (QWidget* widget : widgets) {
        widget->removeEventFilter(this);
        widget->installEventFilter(this);
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            // A focused auto-default button would take Return itself.
            button->setAutoDefault(false);
            button->setDefault(isConfirm(*button));
        }
    }
}

bool SheetHost::eventFilter(QObject* watched, QEvent* event)
{
    // Sent once a new child is whole (polished before it is first shown).
    if (event->type() == QEvent::ChildPolished) {
        if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
            leaveReturnToHost(*child);
    }
    return QDialog::eventFilter(watched, event);
}

void SheetHost::keyPressEvent(QKeyEvent* event)
{
    if (!isReturn(*event)) {
        QDialog::keyPressEvent(event);
        return;
    }
    event->accept();
    QPushButton* confirm = confirmButton(*sheet_);
    if (confirm && confirm->isVisible() && confirm->isEnabled())
        confirm->click();
}

void SheetHost::reject()
{
    if (onDismiss_)
        onDismiss_();
}

void SheetHost::closeEvent(QCloseEvent* event)
{
    // The title bar's close button is a dismissal like Escape; a close the
    // presenter asks for (close(), done()) passes.
    if (!event->spontaneous()) {
        event->accept();
        return;
    }
    // The dismissal runs once this close is over: a close the presenter asks for from
    // inside the window system's close would be swallowed by it, leaving the host hidden
    // but never closed (and the presenter waiting for it to close).
    event->ignore();
    QMetaObject::invokeMethod(this, [this] { reject(); }, Qt::QueuedConnection);
}

} // namespace velmor
