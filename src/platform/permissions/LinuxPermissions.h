#pragma once

#include "platform/permissions/Permissions.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace velmor {

// The grants as Linux has them: Accessibility is a writable uinput node (the
// virtual keyboard can be created); Input Monitoring is every node of an attached
// known device being readable (vacuously true while none is attached). Linux has no
// prompt for either: a udev rule or a group membership grants them, so the prompts
// only check again, and openSettings() shows a help page that explains the rule.
class LinuxPermissions final : public Permissions {
public:
    struct UsbId {
        int vendor = 0;
        int product = 0;
    };
    // The keypads and the dictation microphone Velmor reads.
    static QList<UsbId> knownDevices();

    struct Options {
        QString devRoot = QStringLiteral("/dev");
        QString sysRoot = QStringLiteral("/sys");
        QList<UsbId> devices = knownDevices();
        // Where the help page is written before it is opened; empty: the data folder's "Help".
        QString helpFolder;
        // Opens a URL in the desktop's viewer; by default through xdg-open.
        std::function<bool(const QUrl&)> openUrl;
    };

    LinuxPermissions();
    explicit LinuxPermissions(Options options);

    bool isAccessibilityTrusted() override;
    bool promptAccessibilityTrust() override { return isAccessibilityTrusted(); }
    bool preflightInputMonitoring() override;
    bool requestInputMonitoring() override { return preflightInputMonitoring(); }
    bool openSettings(const QString& anchor) override;

    // hidraw and evdev nodes of the known devices attached now, sorted.
    QStringList knownDeviceNodes() const;

    // The help page: the udev rule for these devices, and the group alternative.
    static QString helpPage(const QList<UsbId>& devices);

private:
    bool isKnown(int vendor, int product) const;

    Options options_;
};

} // namespace velmor
