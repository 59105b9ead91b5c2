#include "ui/shared/widgets/SheetHost.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace velmor {

SheetHost::SheetHost(QWidget* sheet, std::function<void()> onDismiss, QWidget* parent)
    : QDialog(parent), sheet_(sheet), onDismiss_(std::move(onDismiss))
{
    setWindowModality(Qt::WindowModal);
    setWindowFlag(Qt::Sheet);
    setWindowTitle(sheet->windowTitle());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(sheet);
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
    event->ignore();
    reject();
}

} // namespace velmor
