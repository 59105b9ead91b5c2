#pragma once

#include <QDialog>

#include <functional>

namespace velmor::admin {

// Shows a sheet (a form that reports through callbacks and never closes itself)
// as a window-modal dialog over its parent. Escape and the close button run
// `onDismiss`, the sheet's cancel; the presenter then deletes the dialog.
class SheetDialog : public QDialog {
public:
    SheetDialog(QWidget* sheet, std::function<void()> onDismiss, QWidget* parent);

    QWidget* sheet() const { return sheet_; }
    void reject() override;

private:
    QWidget* sheet_;
    std::function<void()> onDismiss_;
};

} // namespace velmor::admin
