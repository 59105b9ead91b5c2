#include "platform/tap/ScriptedEventTap.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace velmor {

struct ScriptedEventTap::Registry {
    mutable std::mutex mutex;
    std::vector<ScriptedEventTap*> live; // oldest first
    bool createFails = false;
    bool attachFails = false;
    int createCount = 0;

    bool isLive(const ScriptedEventTap* tap) const
    {
        const std::lock_guard lock(mutex);
        return std::find(live.begin(), live.end(), tap) != live.end();
    }
};

ScriptedEventTap::ScriptedEventTap(std::shared_ptr<Registry> registry, Mask mask, Callback callback, bool attachFails)
    : registry_(std::move(registry)), mask_(mask), callback_(std::move(callback)), attachFails_(attachFails)
{
    const std::lock_guard lock(registry_->mutex);
    registry_->live.push_back(this);
}

ScriptedEventTap::~ScriptedEventTap()
{
    const std::lock_guard lock(registry_->mutex);
    std::erase(registry_->live, this);
}

bool ScriptedEventTap::attachToMainLoop()
{
    if (attachFails_)
        return false;
    attached_ = true;
    return true;
}

void ScriptedEventTap::detachFromMainLoop() { attached_ = false; }

void ScriptedEventTap::setEnabled(bool enabled)
{
    if (enabled)
        ++enableCount_;
    enabled_ = enabled;
}

bool ScriptedEventTap::isEnabled() const { return enabled_; }

std::optional<EventTap::Verdict> ScriptedEventTap::offer(const Event& event)
{
    const auto type = static_cast<std::uint32_t>(event.type);
    if (!attached_ || !enabled_ || type >= 64 || (mask_ & (Mask{1} << type)) == 0)
        return std::nullopt;
    return callback_ ? callback_(event) : Verdict::pass;
}

void ScriptedEventTap::disableBySystem(EventType reason)
{
    if (!attached_)
        return;
    enabled_ = false;
    if (callback_)
        callback_(Event{.type = reason});
}

ScopedScriptedEventTaps::ScopedScriptedEventTaps() : registry_(std::make_shared<ScriptedEventTap::Registry>())
{
    EventTap::setFactory([registry = registry_](EventTap::Mask mask, EventTap::Callback callback) -> std::unique_ptr<EventTap> {
        bool attachFails = false;
        {
            const std::lock_guard lock(registry->mutex);
            ++registry->createCount;
            if (registry->createFails)
                return nullptr;
            attachFails = registry->attachFails;
        }
        return std::make_unique<ScriptedEventTap>(registry, mask, std::move(callback), attachFails);
    });
}

ScopedScriptedEventTaps::~ScopedScriptedEventTaps() { EventTap::setFactory({}); }

void ScopedScriptedEventTaps::setCreateFails(bool fails)
{
    const std::lock_guard lock(registry_->mutex);
    registry_->createFails = fails;
}

void ScopedScriptedEventTaps::setAttachFails(bool fails)
{
    const std::lock_guard lock(registry_->mutex);
    registry_->attachFails = fails;
}

int ScopedScriptedEventTaps::createCount() const
{
    const std::lock_guard lock(registry_->mutex);
    return registry_->createCount;
}

std::size_t ScopedScriptedEventTaps::liveCount() const
{
    const std::lock_guard lock(registry_->mutex);
    return registry_->live.size();
}

ScriptedEventTap* ScopedScriptedEventTaps::current() const
{
    const std::lock_guard lock(registry_->mutex);
    return registry_->live.empty() ? nullptr : registry_->live.back();
}

EventTap::Verdict ScopedScriptedEventTaps::post(const EventTap::Event& event)
{
    std::vector<ScriptedEventTap*> taps;
    {
        const std::lock_guard lock(registry_->mutex);
        taps.assign(registry_->live.rbegin(), registry_->live.rend());
    }
    // A tap that a callback removed is skipped.
    for (ScriptedEventTap* tap : taps)
        if (registry_->isLive(tap) && tap->offer(event) == EventTap::Verdict::drop)
            return EventTap::Verdict::drop;
    return EventTap::Verdict::pass;
}

void ScopedScriptedEventTaps::timeOut()
{
    std::vector<ScriptedEventTap*> taps;
    {
        const std::lock_guard lock(registry_->mutex);
        taps = registry_->live;
    }
    for (ScriptedEventTap* tap : taps)
        if (registry_->isLive(tap))
            tap->disableBySystem(EventTap::EventType::tapDisabledByTimeout);
}

namespace scripted {

EventTap::Event key(EventTap::EventType type, std::uint16_t keyCode, std::uint64_t flags)
{
    return {.type = type, .keyCode = keyCode, .flags = flags};
}

EventTap::Event scroll(std::int64_t lines, std::int64_t points)
{
    return {.type = EventTap::EventType::scrollWheel, .scrollDeltaAxis1 = lines, .pointDeltaAxis1 = points};
}

EventTap::Event mouse(EventTap::EventType type, std::int64_t button)
{
    return {.type = type, .mouseButton = button};
}

} // namespace scripted

} // namespace velmor
