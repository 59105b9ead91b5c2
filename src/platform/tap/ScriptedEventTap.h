#pragma once

#include "platform/tap/EventTap.h"

#include <cstddef>
#include <memory>
#include <optional>

namespace velmor {

// A tap of the scripted backend: it sees what the test posts.
class ScriptedEventTap final : public EventTap {
public:
    struct Registry;
    ScriptedEventTap(std::shared_ptr<Registry> registry, Mask mask, Callback callback, bool attachFails);
    ~ScriptedEventTap() override;

    bool attachToMainLoop() override;
    void detachFromMainLoop() override;
    void setEnabled(bool enabled) override;
    bool isEnabled() const override;

    Mask mask() const { return mask_; }
    bool isAttached() const { return attached_; }
    // How often the tap was switched on, re-enabling included.
    int enableCount() const { return enableCount_; }

    // The system's delivery: the callback's verdict, or none when the tap did
    // not see the event (detached, disabled, or type outside the mask).
    std::optional<Verdict> offer(const Event& event);
    // The system switches the tap off and tells its callback why.
    void disableBySystem(EventType reason);

private:
    std::shared_ptr<Registry> registry_;
    Mask mask_;
    Callback callback_;
    bool attachFails_;
    bool attached_ = false;
    bool enabled_ = false;
    int enableCount_ = 0;
};

// Installs the scripted backend for the lifetime of this object. Tests post
// event streams through it; failures of creation and attachment are scripted.
class ScopedScriptedEventTaps {
public:
    ScopedScriptedEventTaps();
    ~ScopedScriptedEventTaps();
    ScopedScriptedEventTaps(const ScopedScriptedEventTaps&) = delete;
    ScopedScriptedEventTaps& operator=(const ScopedScriptedEventTaps&) = delete;

    void setCreateFails(bool fails);
    void setAttachFails(bool fails);
    // Creation requests, failed ones included.
    int createCount() const;
    std::size_t liveCount() const;
    // The newest live tap, or null.
    ScriptedEventTap* current() const;

    // Posts one event to the system: every live tap sees it, newest first, and
    // it reaches applications unless one of them drops it.
    EventTap::Verdict post(const EventTap::Event& event);
    // The system times out every live tap.
    void timeOut();

private:
    std::shared_ptr<ScriptedEventTap::Registry> registry_;
};

// Event builders for scripted streams.
namespace scripted {
EventTap::Event key(EventTap::EventType type, std::uint16_t keyCode, std::uint64_t flags = 0);
EventTap::Event scroll(std::int64_t lines, std::int64_t points = 0);
EventTap::Event mouse(EventTap::EventType type, std::int64_t button = 0);
} // namespace scripted

} // namespace velmor
