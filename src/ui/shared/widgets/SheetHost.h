#pragma once

#include <QDialog>

#include <functional>

namespace velmor {

// Shows a sheet (a form that reports through callbacks and never closes itself)
// as a window-modal dialog over its parent. Escape and the window's close button
// run `onDismiss` (the sheet's cancel), which is where the presenter hides the
// host; nothing else closes it.
class SheetHost : public QDialog {
public:
    SheetHost(QWidget* sheet, std::function<void()> onDismiss, QWidget* parent);

    QWidget* sheet() const { return sheet_; }

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* sheet_;
    std::function<void()> onDismiss_;
};

} // namespace velmor
