#pragma once

#include <QDialog>

#include <functional>

class QPushButton;

namespace velmor {

// Shows a sheet (a form that reports through callbacks and never closes itself)
// as a window-modal dialog over its parent. Escape and the window's close button
// run `onDismiss` (the sheet's cancel), which is where the presenter hides the
// host; nothing else closes it. Return runs the sheet's own action, the button
// marked with markConfirm(), while that button is shown and enabled, and nothing
// else: no other button of the sheet, those it adds later included, takes Return,
// focused or not, and a sheet without such a button ignores it.
class SheetHost : public QDialog {
public:
    SheetHost(QWidget* sheet, std::function<void()> onDismiss, QWidget* parent);

    QWidget* sheet() const { return sheet_; }
    // The button Return runs in the sheet that holds it; at most one per sheet.
    static void markConfirm(QPushButton& button);
    // The marked button among `root`'s children, if any.
    static QPushButton* confirmButton(const QWidget& root);

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Every push button under `root` leaves Return to the host; watches `root`
    // and its children for buttons that come later.
    void leaveReturnToHost(QWidget& root);

    QWidget* sheet_;
    std::function<void()> onDismiss_;
};

} // namespace velmor
