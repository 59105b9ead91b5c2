#include "platform/permissions/ScriptedPermissions.h"

namespace velmor {

bool ScriptedPermissions::isAccessibilityTrusted()
{
    calls << QStringLiteral("isAccessibilityTrusted");
    return accessibility;
}

bool ScriptedPermissions::promptAccessibilityTrust()
{
    calls << QStringLiteral("promptAccessibilityTrust");
    if (accessibilityAfterPrompt)
        accessibility = *accessibilityAfterPrompt;
    return accessibility;
}

bool ScriptedPermissions::preflightInputMonitoring()
{
    calls << QStringLiteral("preflightInputMonitoring");
    return inputMonitoring;
}

bool ScriptedPermissions::requestInputMonitoring()
{
    calls << QStringLiteral("requestInputMonitoring");
    if (inputMonitoringAfterRequest)
        inputMonitoring = *inputMonitoringAfterRequest;
    return inputMonitoring;
}

bool ScriptedPermissions::openSettings(const QString& anchor)
{
    calls << QStringLiteral("openSettings:") + anchor;
    if (settingsOpen)
        openedAnchors << anchor;
    return settingsOpen;
}

} // namespace velmor
