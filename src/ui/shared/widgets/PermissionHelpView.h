#pragma once

#include "ui/shared/PermissionHelpController.h"

#include <QWidget>

#include <memory>

namespace velmor {

class SymbolLabel;

// The permission help sheet: the steps that grant each permission on Linux, each
// section's status and the overall status, following the executor's flags.
// Buttons: "Close" (objectName "close") and "Open Permissions Settings" ("openSettings").
// Status labels: "accessibilityStatus", "inputMonitoringStatus", "overallStatus".
class PermissionHelpView : public QWidget {
public:
    PermissionHelpView(ShortcutExecutor& executor, std::function<void()> onClose, QWidget* parent = nullptr);
    ~PermissionHelpView() override;

    PermissionHelpController& controller() { return *controller_; }

    QSize sizeHint() const override { return {600, 360}; }

private:
    void render(const PermissionHelpController::State& state);

    std::unique_ptr<PermissionHelpController> controller_;
    SymbolLabel* accessibilityStatus_ = nullptr;
    SymbolLabel* inputMonitoringStatus_ = nullptr;
    SymbolLabel* overallStatus_ = nullptr;
    Subscription subscription_;
};

} // namespace velmor
