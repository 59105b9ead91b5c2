#pragma once

#include <QString>

namespace velmor {

// The two grants Velmor depends on. "Accessibility" lets it post synthetic keys;
// "Input Monitoring" lets it read the devices it drives.
class Permissions {
public:
    // Help sections of openSettings().
    static inline const QString accessibilityAnchor = QStringLiteral("Privacy_Accessibility");
    static inline const QString inputMonitoringAnchor = QStringLiteral("Privacy_ListenEvent");

    virtual ~Permissions() = default;

    virtual bool isAccessibilityTrusted() = 0;
    // Asks the user for Accessibility where the system can ask; returns the state afterwards.
    virtual bool promptAccessibilityTrust() = 0;
    virtual bool preflightInputMonitoring() = 0;
    // Asks the user for Input Monitoring where the system can ask; returns the state afterwards.
    virtual bool requestInputMonitoring() = 0;
    // Shows how to grant the permission of `anchor`. False when nothing could be opened.
    virtual bool openSettings(const QString& anchor) = 0;

    // The process-wide permissions: the Linux checks unless a test installed others.
    static Permissions& instance();
    static void setInstance(Permissions* permissions);
};

} // namespace velmor
