#pragma once

#include "store/ProfileStore.h"

#include <QByteArray>

#include <coroutine>
#include <memory>
#include <optional>
#include <utility>

namespace velmor {

// The outcome of one save of the store, awaited on the main queue: whether it is on
// disk, and the document profiles.json then holds.
class SaveOutcome {
public:
    struct Saved {
        bool saved = false;
        QByteArray document;
    };

    ProfileStore::SaveOutcomeHandler handler() const
    {
        return [state = state_](bool saved, const QByteArray& document) {
            state->outcome = Saved{saved, document};
            if (const std::coroutine_handle<> waiting = std::exchange(state->waiting, {}))
                waiting.resume();
        };
    }
    bool await_ready() const noexcept { return state_->outcome.has_value(); }
    void await_suspend(std::coroutine_handle<> waiting) { state_->waiting = waiting; }
    Saved await_resume() const { return *state_->outcome; }

private:
    struct State {
        std::optional<Saved> outcome;
        std::coroutine_handle<> waiting;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace velmor
