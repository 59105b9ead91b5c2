#pragma once

#include "ui/mapping/MappingController.h"
#include "ui/mapping/widgets/ScrollPanel.h"

#include <functional>

class QVBoxLayout;

namespace velmor {

// The devices mode's panel. "Connected": one row per connected device
// ("connected-<row id>") with a control switch ("control-<row id>") unless it is
// the mock device; "Select Device": one row per template ("template-<id>");
// "editLayout" and "resetMappings".
class ContextPanelDevices : public ScrollPanel {
public:
    // What the window runs for the panel's controls.
    struct Actions {
        std::function<void(const QString& deviceId)> onSelectDevice;                     // a template row
        std::function<void(const ConnectedDeviceInfo& device, bool enabled)> onSetControlEnabled; // a row's switch
        std::function<void()> onEditLayout;                                              // "Edit Layout"
        std::function<void()> onResetMappings;                                           // "Reset to Defaults"
    };

    ContextPanelDevices(MappingController& controller, Actions actions, QWidget* parent = nullptr);

private:
    void render(const MappingController::State& state);
    void renderConnected(const QList<ConnectedDeviceInfo>& devices);
    void renderTemplates(const QList<Device>& devices, const QString& activeId,
                         const QList<ConnectedDeviceInfo>& connected);

    MappingController& controller_;
    Actions actions_;
    QVBoxLayout* connected_;
    QVBoxLayout* templates_;
    QList<ConnectedDeviceInfo> shownConnected_;
    QStringList shownTemplates_;
    bool rendered_ = false;
    Subscription subscription_;
};

} // namespace velmor
