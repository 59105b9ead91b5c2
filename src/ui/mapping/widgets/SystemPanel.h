#pragma once

#include "ui/mapping/MappingController.h"

#include "ui/mapping/widgets/ScrollPanel.h"

namespace velmor {

class NiceButton;

// The system mode's panel: "permissions" (asks for both permissions; green with
// an open lock once both are granted), "help" (the permission help sheet) and
// "diagnostics" (the HID inspector).
class SystemPanel : public ScrollPanel {
public:
    explicit SystemPanel(MappingController& controller, QWidget* parent = nullptr);

private:
    void render(const MappingController::State& state);

    MappingController& controller_;
    NiceButton* permissions_;
    Subscription subscription_;
};

} // namespace velmor
