#pragma once

#include "ui/mapping/MappingController.h"

#include "ui/mapping/widgets/ScrollPanel.h"

#include <functional>

namespace velmor {

class NiceButton;

// The system mode's panel: "permissions" (asks for both permissions; green with
// an open lock once both are granted), "help" (the permission help sheet) and
// "diagnostics" (the HID inspector).
class ContextPanelSystem : public ScrollPanel {
public:
    // What the window runs for the panel's buttons.
    struct Actions {
        std::function<void()> onRequestPermissions; // "Permissions"
        std::function<void()> onShowHelp;           // "Help"
        std::function<void()> onShowDiagnostics;    // "Diagnostics"
    };

    ContextPanelSystem(MappingController& controller, Actions actions, QWidget* parent = nullptr);

private:
    void render(const MappingController::State& state);

    MappingController& controller_;
    Actions actions_;
    NiceButton* permissions_;
    Subscription subscription_;
};

} // namespace velmor
