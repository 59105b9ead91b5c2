#pragma once

#include "ui/mapping/MappingController.h"

#include <QWidget>

namespace velmor {

class ModeRailButton;

// The strip at the window's left edge: the profiles, devices and mappings mode
// buttons, the Tools button (the admin window), and the system mode button at
// the bottom. Buttons: "mode-profiles", "mode-devices", "mode-mappings",
// "mode-system", "tools".
class ModeRail : public QWidget {
public:
    explicit ModeRail(MappingController& controller, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void render(const MappingController::State& state);

    MappingController& controller_;
    QList<ModeRailButton*> modeButtons_;
    Subscription subscription_;
};

} // namespace velmor
