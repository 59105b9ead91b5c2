#pragma once

#include "ui/shared/DerivedState.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <functional>

namespace velmor {

class ShortcutExecutor;

// The permission help sheet: how to grant Velmor's two permissions on Linux, and
// whether each is granted, following ShortcutExecutor's published flags.
class PermissionHelpController {
public:
    struct State {
        bool accessibilityGranted = false;
        bool inputMonitoringGranted = false;
        bool allGranted() const { return accessibilityGranted && inputMonitoringGranted; }
        friend bool operator==(const State&, const State&) = default;
    };

    // A status line: a symbol and a text in one colour.
    struct Status {
        QString text;
        QString symbol;
        QColor colour;
        friend bool operator==(const Status&, const Status&) = default;
    };

    // `onClose` hides the sheet; the presenter owns it.
    PermissionHelpController(ShortcutExecutor& executor, std::function<void()> onClose);

    const Published<State>& state() const { return state_.published(); }

    // "Granted" or "Not granted" above a section's steps.
    static Status stepStatus(bool granted);
    // The bottom row's "All permissions granted" or "Permissions still needed".
    static Status overallStatus(const State& state);

    static const QStringList& accessibilitySteps();
    static const QStringList& inputMonitoringSteps();

    // "Open Permissions Settings": asks for both; the executor re-reads them a moment
    // later and opens the help page of one still missing.
    void openPermissionsSettings();
    // "Close": hides the sheet and asks for nothing.
    void close();

private:
    State compute() const;

    ShortcutExecutor& executor_;
    std::function<void()> onClose_;
    DerivedState<State> state_;
};

} // namespace velmor
