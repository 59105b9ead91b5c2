#pragma once

#include "platform/MainQueue.h"

#include <algorithm>
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
// subscribers, equal value or not. Handlers may set other values, subscribe, or
// end their own subscription while being called.
template <typename T>
class Published {
public:
    using Handler = std::function<void(const T&)>;

    Published() = default;
    explicit Published(T value) : value_(std::move(value)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& get() const { return value_; }
    const T& operator()() const { return value_; }

    void set(T value)
    {
        value_ = std::move(value);
        const T snapshot = value_;
        const auto snapshotSlots = *slots_; // handlers may change the list while we deliver
        for (const auto& slot : snapshotSlots)
            slot->deliver(snapshot);
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
    [[nodiscard]] Subscription subscribe(Handler handler) { return add(std::move(handler), false); }

    // Delivers the current value and every change on a later turn of the main queue.
    [[nodiscard]] Subscription subscribeOnMain(Handler handler) { return add(std::move(handler), true); }

private:
    struct Slot {
        Handler handler;
        bool onMain = false;
        std::shared_ptr<bool> alive = std::make_shared<bool>(true);

        void deliver(const T& value) const
        {
            if (!*alive)
                return;
            if (!onMain) {
                handler(value);
                return;
            }
            postToMain([alive = alive, handler = handler, value] {
                if (*alive)
                    handler(value);
            });
        }
    };
    using SlotList = std::vector<std::shared_ptr<Slot>>;

    Subscription add(Handler handler, bool onMain)
    {
        auto slot = std::make_shared<Slot>();
        slot->handler = std::move(handler);
        slot->onMain = onMain;
        slots_->push_back(slot);
        Subscription subscription([weakSlots = std::weak_ptr<SlotList>(slots_), slot] {
            *slot->alive = false;
            if (auto list = weakSlots.lock())
                std::erase(*list, slot);
        });
        slot->deliver(value_);
        return subscription;
    }

    T value_{};
    std::shared_ptr<SlotList> slots_ = std::make_shared<SlotList>();
};

} // namespace velmor
