#pragma once

#include <atomic>
#include <utility>

namespace velmor {

// The process-wide instance of a platform interface: a default backend built on
// first use, unless another instance (not owned) was installed.
template <typename Interface>
class ProcessWide {
public:
    template <typename Default>
    static Interface& get()
    {
        if (Interface* instance = installed_.load())
            return *instance;
        static Default fallback;
        return fallback;
    }
    // Installs `instance`; nullptr restores the default. Returns what was installed before.
    static Interface* install(Interface* instance) { return installed_.exchange(instance); }

private:
    static inline std::atomic<Interface*> installed_{nullptr};
};

// Owns an `Impl` and installs it as the process-wide `Interface` for its own
// lifetime (tests), restoring whatever was installed before.
template <typename Interface, typename Impl>
class ScopedInstance {
public:
    template <typename... Args>
    explicit ScopedInstance(Args&&... args)
        : impl_(std::forward<Args>(args)...), previous_(ProcessWide<Interface>::install(&impl_))
    {
    }
    ~ScopedInstance() { ProcessWide<Interface>::install(previous_); }
    ScopedInstance(const ScopedInstance&) = delete;
    ScopedInstance& operator=(const ScopedInstance&) = delete;

    Impl& operator*() { return impl_; }
    Impl* operator->() { return &impl_; }

private:
    Impl impl_;
    Interface* previous_;
};

} // namespace velmor
