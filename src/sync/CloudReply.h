#pragma once

#include "platform/cloud/Container.h"

#include <coroutine>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace velmor::cloudkit {

// What one cloud call ended with. A database may answer with neither.
template <typename T>
struct Reply {
    std::optional<T> value;
    std::optional<cloud::Error> error;
};

// Awaits one cloud call: `start` makes the call with the completion it is given.
// The coroutine resumes where the completion runs (the main queue), once: a
// second completion is ignored.
template <typename T>
class ReplyAwaiter {
public:
    using Start = std::function<void(cloud::Completion<T> done)>;

    // Copies share one wait.
    explicit ReplyAwaiter(Start start) : start_(std::move(start)) {}

    bool await_ready() const noexcept { return false; }

    bool await_suspend(std::coroutine_handle<> awaiting)
    {
        state_->awaiting = awaiting;
        state_->starting = true;
        start_([state = state_](std::optional<T> value, std::optional<cloud::Error> error) {
            if (state->done)
                return;
            state->done = true;
            state->reply = Reply<T>{std::move(value), std::move(error)};
            if (!state->starting)
                state->awaiting.resume();
        });
        state_->starting = false;
        return !state_->done; // a completion that came at once needs no suspension
    }

    Reply<T> await_resume() { return std::move(state_->reply); }

private:
    struct State {
        std::coroutine_handle<> awaiting;
        Reply<T> reply;
        bool starting = false;
        bool done = false;
    };

    Start start_;
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace velmor::cloudkit
