#pragma once

#include "platform/MainQueue.h"
#include "platform/Published.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace velmor {

// A window's state, computed by one function from its sources. A change of any
// watched source (or invalidate()) marks it stale, and one refresh runs on a
// later turn of the main queue, reading every source's current value: a view
// never sees half an update, however many sources changed in one turn.
// Main thread only.
template <typename State>
class DerivedState {
public:
    using Compute = std::function<State()>;

    explicit DerivedState(Compute compute) : compute_(std::move(compute)), state_(compute_()) {}
    ~DerivedState() { *alive_ = false; }
    DerivedState(const DerivedState&) = delete;
    DerivedState& operator=(const DerivedState&) = delete;

    const Published<State>& published() const { return state_; }
    const State& get() const { return state_.get(); }

    // Refreshes on a later turn of the main queue (once, however often called).
    void invalidate()
    {
        if (pending_)
            return;
        pending_ = true;
        postToMain([this, alive = alive_] {
            if (*alive && pending_)
                refreshNow();
        });
    }

    // Recomputes at once; a pending refresh has nothing left to do.
    void refreshNow()
    {
        pending_ = false;
        state_.set(compute_());
    }

    // Every change of `source` after this call marks the state stale.
    template <typename T>
    void watch(const Published<T>& source)
    {
        bool initial = true;
        subscriptions_.push_back(source.subscribe([this, initial](const T&) mutable {
            if (std::exchange(initial, false))
                return; // the current value is already part of the state
            invalidate();
        }));
    }

private:
    Compute compute_;
    Published<State> state_;
    bool pending_ = false;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    // Declared last: ended first, so no delivery reaches a half-destroyed object.
    std::vector<Subscription> subscriptions_;
};

} // namespace velmor
