#pragma once

#include "model/KeyboardShortcut.h"
#include "platform/Published.h"
#include "platform/keys/KeyOutput.h"
#include "platform/permissions/Permissions.h"

#include <QDateTime>
#include <QSet>

#include <cstdint>
#include <memory>
#include <optional>

namespace velmor {

// Velmor's keystroke output: posts a shortcut as a key-down and a key-up to the
// application in front, and keeps the Accessibility and Input Monitoring states
// that posting and reading the devices depend on. Main thread only.
class ShortcutExecutor {
public:
    ShortcutExecutor();
    ShortcutExecutor(keys::KeyOutput& output, Permissions& permissions);
    ShortcutExecutor(const ShortcutExecutor&) = delete;
    ShortcutExecutor& operator=(const ShortcutExecutor&) = delete;

    // Read and subscribe; written by the operations below.
    const Published<bool>& hasAccessibilityPermission() const { return hasAccessibilityPermission_; }
    const Published<bool>& hasInputMonitoringPermission() const { return hasInputMonitoringPermission_; }
    // When the user was last asked for a permission.
    const Published<std::optional<QDateTime>>& lastPermissionPrompted() const { return lastPermissionPrompted_; }

    // Posts key-down then key-up with the modifiers' flags. Nothing happens without
    // Accessibility. True only when both events were posted.
    bool post(std::uint16_t keyCode, KeyboardShortcut::Modifiers modifiers);

    // Re-reads both states without asking.
    void readPermissions();
    // Re-reads both states and asks for whichever is missing.
    void refreshPermissions();
    // Asks for both, then 0.2 s later reads them again and opens the help of one still missing.
    void requestPermissions();
    void promptAccessibilityPermission();
    void requestInputMonitoringPermission();
    // Opens the help of the missing permission, Accessibility first.
    void openPrivacySettings();

    // The numeric keypad's virtual key codes; their events carry the numeric-pad flag.
    static const QSet<std::uint16_t>& keypadKeyCodes();
    // The flags a posted event of `keyCode` carries with `modifiers` held.
    static keys::EventFlags eventFlags(std::uint16_t keyCode, KeyboardShortcut::Modifiers modifiers);

private:
    Published<bool> hasAccessibilityPermission_;
    Published<bool> hasInputMonitoringPermission_;
    Published<std::optional<QDateTime>> lastPermissionPrompted_;

    keys::KeyOutput& output_;
    Permissions& permissions_;
    // Delayed re-checks hold this weakly and do nothing once the executor is gone.
    std::shared_ptr<ShortcutExecutor*> self_ = std::make_shared<ShortcutExecutor*>(this);
};

} // namespace velmor
