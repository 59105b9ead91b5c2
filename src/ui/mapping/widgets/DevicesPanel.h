#pragma once

#include "ui/mapping/MappingController.h"
#include "ui/mapping/widgets/ScrollPanel.h"

class QVBoxLayout;

namespace velmor {

// The devices mode's panel. "Connected": one row per connected device
// ("connected-<row id>") with a control switch ("control-<row id>") unless it is
// the mock device; "Select Device": one row per template ("template-<id>");
// "editLayout" and "resetMappings".
class DevicesPanel : public ScrollPanel {
public:
    explicit DevicesPanel(MappingController& controller, QWidget* parent = nullptr);

private:
    void render(const MappingController::State& state);
    void renderConnected(const QList<ConnectedDeviceInfo>& devices);
    void renderTemplates(const QList<Device>& devices, const QString& activeId,
                         const QList<ConnectedDeviceInfo>& connected);

    MappingController& controller_;
    QVBoxLayout* connected_;
    QVBoxLayout* templates_;
    QList<ConnectedDeviceInfo> shownConnected_;
    QStringList shownTemplates_;
    bool rendered_ = false;
    Subscription subscription_;
};

} // namespace velmor
