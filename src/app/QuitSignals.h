#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace velmor {

// Turns SIGTERM (logout, `kill`) and SIGINT (Ctrl+C) into a call of `onSignal`
// on the main loop, so they quit through the same path as the menu's "Quit".
// After the first of them the default action is back: a second one ends the
// process at once. One instance at a time; its end restores the defaults.
class QuitSignals {
public:
    explicit QuitSignals(std::function<void()> onSignal);
    ~QuitSignals();
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    std::function<void()> onSignal_;
    int fds_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace velmor
