#pragma once

#include "platform/permissions/Permissions.h"

#include <QStringList>

#include <optional>

namespace velmor {

// Permissions for tests: states the test sets, prompts that grant what the test
// says, and a record of every call in order ("isAccessibilityTrusted",
// "promptAccessibilityTrust", "preflightInputMonitoring", "requestInputMonitoring",
// "openSettings:<anchor>").
class ScriptedPermissions final : public Permissions {
public:
    bool isAccessibilityTrusted() override;
    bool promptAccessibilityTrust() override;
    bool preflightInputMonitoring() override;
    bool requestInputMonitoring() override;
    bool openSettings(const QString& anchor) override;

    bool accessibility = false;
    bool inputMonitoring = false;
    // What the user answers to a prompt; none leaves the state as it is.
    std::optional<bool> accessibilityAfterPrompt;
    std::optional<bool> inputMonitoringAfterRequest;
    bool settingsOpen = true;

    QStringList calls;
    QStringList openedAnchors;
};

} // namespace velmor
