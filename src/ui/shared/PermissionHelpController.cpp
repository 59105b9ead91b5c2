#include "ui/shared/PermissionHelpController.h"

#include "output/ShortcutExecutor.h"
#include "ui/shared/Theme.h"

namespace velmor {

PermissionHelpController::PermissionHelpController(ShortcutExecutor& executor, std::function<void()> onClose)
    : executor_(executor), onClose_(std::move(onClose)), state_([this] { return compute(); })
{
    state_.watch(executor_.hasAccessibilityPermission());
    state_.watch(executor_.hasInputMonitoringPermission());
}

PermissionHelpController::State PermissionHelpController::compute() const
{
    return {executor_.hasAccessibilityPermission().get(), executor_.hasInputMonitoringPermission().get()};
}

PermissionHelpController::Status PermissionHelpController::stepStatus(bool granted)
{
    if (granted)
        return {QStringLiteral("Granted"), QStringLiteral("checkmark.circle.fill"), Theme::green()};
    return {QStringLiteral("Not granted"), QStringLiteral("exclamationmark.triangle.fill"), Theme::yellow()};
}

PermissionHelpController::Status PermissionHelpController::overallStatus(const State& state)
{
    if (state.allGranted())
        return {QStringLiteral("All permissions granted"), QStringLiteral("checkmark.seal.fill"), Theme::green()};
    return {QStringLiteral("Permissions still needed"), QStringLiteral("exclamationmark.triangle.fill"), Theme::yellow()};
}

// Linux grants both through device permissions: the udev rule that scripts/install
// writes (or a group that owns the devices), which takes effect at the next login.
const QStringList& PermissionHelpController::accessibilitySteps()
{
    static const QStringList steps{
        QStringLiteral("Run scripts/install, or save the udev rule from Open Permissions Settings as "
                       "/etc/udev/rules.d/70-velmor.rules."),
        QStringLiteral("Load the virtual keyboard module: sudo modprobe uinput."),
        QStringLiteral("Log out and in again so that Velmor may write to /dev/uinput."),
    };
    return steps;
}

const QStringList& PermissionHelpController::inputMonitoringSteps()
{
    static const QStringList steps{
        QStringLiteral("Run scripts/install, or save the udev rule from Open Permissions Settings as "
                       "/etc/udev/rules.d/70-velmor.rules."),
        QStringLiteral("Or add yourself to the input group: sudo usermod -aG input $USER."),
        QStringLiteral("Log out and in again, then plug the device in again."),
    };
    return steps;
}

void PermissionHelpController::openPermissionsSettings() { executor_.requestPermissions(); }

void PermissionHelpController::close()
{
    if (onClose_)
        onClose_();
}

} // namespace velmor
