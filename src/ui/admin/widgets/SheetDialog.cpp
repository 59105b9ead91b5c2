#include "ui/admin/widgets/SheetDialog.h"

#include "ui/admin/widgets/AdminStyle.h"

#include <QVBoxLayout>

namespace velmor::admin {

SheetDialog::SheetDialog(QWidget* sheet, std::function<void()> onDismiss, QWidget* parent)
    : QDialog(parent), sheet_(sheet), onDismiss_(std::move(onDismiss))
{
    setWindowModality(Qt::WindowModal);
    auto* backdrop = new Backdrop(this);
    auto* inner = new QVBoxLayout(backdrop);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(sheet_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(backdrop);
}

void SheetDialog::reject()
{
    if (const auto dismiss = onDismiss_)
        dismiss();
}

} // namespace velmor::admin
