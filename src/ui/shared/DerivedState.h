#pragma once

#include "platform/MainQueue.h"
#include "platform/Published.h"

#include <concepts>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace velmor {

// A controller's state, computed by one function from its sources. A change of
// any watched source marks it dirty; one refresh then runs on the main queue,
// reading every source's current value, and publishes the result when it differs
// from the last one. So a view subscribed here never sees half an update.
template <typename State>
class DerivedState {
public:
    using Handler = typename Published<State>::Handler;

    explicit DerivedState(std::function<State()> compute) : compute_(std::move(compute)), state_(compute_()) {}
    DerivedState(const DerivedState&) = delete;
    DerivedState& operator=(const DerivedState&) = delete;

    const State& get() const { return state_.get(); }
    // Delivers the current state at once, then every change.
    [[nodiscard]] Subscription subscribe(Handler handler) const { return state_.subscribe(std::move(handler)); }

    // Marks the state dirty on every change of `source` after its current value.
    template <typename Source>
    void watch(Source& source)
    {
        auto initial = std::make_shared<bool>(true);
        subscriptions_.push_back(source.subscribe([this, initial](const auto&) {
            if (!std::exchange(*initial, false))
                markDirty();
        }));
    }

    // Schedules one refresh on the main queue, however often it is called before it runs.
    void markDirty()
    {
        if (std::exchange(dirty_, true))
            return;
        postToMain([alive = std::weak_ptr<DerivedState*>(self_)] {
            if (const auto self = alive.lock())
                (*self)->refresh();
        });
    }

    // Recomputes now.
    void refresh()
    {
        dirty_ = false;
        State next = compute_();
        if constexpr (std::equality_comparable<State>) {
            if (next == state_.get())
                return;
        }
        state_.set(std::move(next));
    }

private:
    std::function<State()> compute_;
    mutable Published<State> state_; // mutable: subscribing does not change the state
    std::vector<Subscription> subscriptions_;
    bool dirty_ = false;
    std::shared_ptr<DerivedState*> self_ = std::make_shared<DerivedState*>(this);
};

} // namespace velmor
