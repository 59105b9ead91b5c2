#pragma once

#include "platform/MainQueue.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace velmor {

// Keeps a subscription alive; destroying (or resetting) it ends the deliveries.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
    Subscription& operator=(Subscription&& other) noexcept
    {
        if (this != &other) {
            reset();
            cancel_ = std::exchange(other.cancel_, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { reset(); }

    void reset()
    {
        if (auto cancel = std::exchange(cancel_, nullptr))
            cancel();
    }
    bool isActive() const { return static_cast<bool>(cancel_); }

private:
    std::function<void()> cancel_;
};

// An observable value, used on the main thread. Every set() reaches the
// subscribers, equal value or not. Handlers may set this or other values,
// subscribe, or end their own subscription while being called. A set() made
// while a delivery is running is delivered once that delivery has reached every
// subscriber, so each subscriber sees the values in the order they were set and
// ends with the current one; get() returns the newest value at once.
template <typename T>
class Published {
public:
    using Handler = std::function<void(const T&)>;

    Published() = default;
    explicit Published(T value) : value_(std::move(value)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& get() const { return value_; }

    void set(T value)
    {
        value_ = std::move(value);
        // Nobody to tell and no delivery running: nothing to queue.
        if (state_->subscribers.empty() && !state_->delivering) {
            ++state_->lastSerial;
            return;
        }
        // Held here: a handler may destroy the publisher while we deliver.
        const std::shared_ptr<State> state = state_;
        state->pending.push_back(Pending{++state->lastSerial, value_});
        if (state->delivering)
            return; // the running delivery reaches it next
        state->delivering = true;
        struct Done {
            State& state;
            ~Done()
            {
                state.delivering = false;
                state.pending.clear(); // only left behind when a handler threw
            }
        } done{*state};
        while (!state->pending.empty()) {
            const Pending next = std::move(state->pending.front());
            state->pending.pop_front();
            // Handlers may change the list while we deliver.
            const QVarLengthArray<std::shared_ptr<Slot>, 8> subscribers(state->subscribers.begin(),
                                                                        state->subscribers.end());
            for (const auto& slot : subscribers) {
                // A subscriber that came later already got this value or a newer one.
                if (slot->since < next.serial)
                    Slot::deliver(slot, next.value);
            }
        }
    }

    // Changes a copy of the value and publishes it.
    template <typename F>
    void mutate(F&& change)
    {
        T copy = value_;
        std::forward<F>(change)(copy);
        set(std::move(copy));
    }

    // Like mutate(), but without copying the value first: for large values that
    // change often. A change that throws keeps what it did so far, unpublished.
    template <typename F>
    void mutateInPlace(F&& change)
    {
        T value = std::move(value_);
        try {
            std::forward<F>(change)(value);
        } catch (...) {
            value_ = std::move(value);
            throw;
        }
        set(std::move(value));
    }

    // Delivers the current value at once, then every change.
    [[nodiscard]] Subscription subscribe(Handler handler) const { return add(std::move(handler), false); }

    // Delivers the current value and every change on a later turn of the main queue.
    [[nodiscard]] Subscription subscribeOnMain(Handler handler) const { return add(std::move(handler), true); }

private:
    struct Slot {
        Handler handler;
        bool onMain = false;
        // The serial of the value this subscriber started with.
        std::uint64_t since = 0;
        std::shared_ptr<bool> alive = std::make_shared<bool>(true);

        static void deliver(const std::shared_ptr<Slot>& slot, const T& value)
        {
            if (!*slot->alive)
                return;
            if (!slot->onMain) {
                slot->handler(value);
                return;
            }
            // The slot, not a copy of its handler, rides along: nothing to allocate for it.
            postToMain([slot, value] {
                if (*slot->alive)
                    slot->handler(value);
            });
        }
    };
    struct Pending {
        std::uint64_t serial = 0;
        T value;
    };
    // Shared with the subscriptions and with a running delivery, so either may
    // outlive the publisher.
    struct State {
        std::vector<std::shared_ptr<Slot>> subscribers;
        std::deque<Pending> pending;
        std::uint64_t lastSerial = 0;
        bool delivering = false;
    };

    Subscription add(Handler handler, bool onMain) const
    {
        auto slot = std::make_shared<Slot>();
        slot->handler = std::move(handler);
        slot->onMain = onMain;
        slot->since = state_->lastSerial;
        state_->subscribers.push_back(slot);
        Subscription subscription([weakState = std::weak_ptr<State>(state_), slot] {
            *slot->alive = false;
            if (auto state = weakState.lock())
                std::erase(state->subscribers, slot);
        });
        Slot::deliver(slot, value_);
        return subscription;
    }

    T value_{};
    const std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace velmor
