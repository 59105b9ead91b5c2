#pragma once

#include <functional>
#include <optional>
#include <utility>

namespace velmor {

// The application's phase as its windows make it: active while one of its
// windows has the focus, inactive while windows are open but another
// application has the focus, background while no window is open (the tray
// keeps running). Each change after the first value reaches `onChange`.
class ScenePhase {
public:
    enum class Phase { active, inactive, background };

    explicit ScenePhase(std::function<void(Phase)> onChange) : onChange_(std::move(onChange)) {}

    static Phase phaseOf(bool anyWindowVisible, bool applicationActive)
    {
        if (!anyWindowVisible)
            return Phase::background;
        return applicationActive ? Phase::active : Phase::inactive;
    }

    // Takes the current facts; the first call only sets the starting phase.
    void update(bool anyWindowVisible, bool applicationActive)
    {
        const Phase next = phaseOf(anyWindowVisible, applicationActive);
        const std::optional<Phase> previous = std::exchange(phase_, next);
        if (previous && *previous != next && onChange_)
            onChange_(next);
    }

    std::optional<Phase> phase() const { return phase_; }

private:
    std::function<void(Phase)> onChange_;
    std::optional<Phase> phase_;
};

} // namespace velmor
