#include "input/SuppressionState.h"

#include "input/HIDDeviceTable.h"
#include "input/TartarusTables.h"

#include <limits>

namespace velmor {

namespace {

using Verdict = EventTap::Verdict;

// A deadline never wraps round to the past.
std::uint64_t deadline(std::uint64_t now, std::uint64_t window)
{
    return now > std::numeric_limits<std::uint64_t>::max() - window ? std::numeric_limits<std::uint64_t>::max()
                                                                    : now + window;
}

int sign(std::int64_t value) { return value > 0 ? 1 : value < 0 ? -1 : 0; }

} // namespace

SuppressionState::Decision SuppressionState::judge(const EventTap::Event& event, std::uint64_t now)
{
    switch (event.type) {
    case EventType::leftMouseDown:
    case EventType::leftMouseUp:
        return {judgeSpeechMikeButton(0, now)};
    case EventType::rightMouseDown:
    case EventType::rightMouseUp:
        return {judgeSpeechMikeButton(1, now)};
    case EventType::keyDown:
    case EventType::keyUp:
    case EventType::flagsChanged:
        return judgeKey(event.keyCode, now);
    case EventType::scrollWheel:
        return {judgeScroll(event, now)};
    case EventType::otherMouseDown:
    case EventType::otherMouseUp:
        if (event.mouseButton != middleMouseButton)
            return {};
        return {judgeMiddleButton(now)};
    default:
        return {};
    }
}

SuppressionState::Decision SuppressionState::judgeKey(std::uint16_t keyCode, std::uint64_t now)
{
    if (!tartarusPresent_)
        return {};
    // The keypad's Caps Lock cannot be told from any other keyboard's, and a
    // stray one would flip the user's typing.
    if (keyCode == capsLockKeyCode)
        return {Verdict::drop};
    if (primePending_ && tartarusKeycodes().contains(keyCode)) {
        primePending_ = false;
        return {Verdict::drop, true};
    }
    const auto entry = keyDeadlines_.constFind(keyCode);
    if (entry == keyDeadlines_.cend())
        return {};
    const bool inside = *entry >= now;
    keyDeadlines_.erase(entry);
    return {inside ? Verdict::drop : Verdict::pass};
}

EventTap::Verdict SuppressionState::judgeScroll(const EventTap::Event& event, std::uint64_t now)
{
    const int direction = event.scrollDeltaAxis1 != 0 ? sign(event.scrollDeltaAxis1) : sign(event.pointDeltaAxis1);
    if (!tartarusPresent_ || !wheelUntil_)
        return Verdict::pass;
    if (*wheelUntil_ < now || wheelRemaining_ <= 0) {
        closeWheelWindow();
        return Verdict::pass;
    }
    // A notch the other way is the user scrolling, not the echo of this one.
    if (wheelDirection_ != 0 && direction != 0 && wheelDirection_ != direction)
        return Verdict::pass;
    if (--wheelRemaining_ == 0)
        closeWheelWindow();
    return Verdict::drop;
}

EventTap::Verdict SuppressionState::judgeMiddleButton(std::uint64_t now)
{
    if (!tartarusPresent_ || !wheelClickUntil_)
        return Verdict::pass;
    if (*wheelClickUntil_ < now || wheelClickRemaining_ <= 0) {
        closeWheelClickWindow();
        return Verdict::pass;
    }
    if (--wheelClickRemaining_ == 0)
        closeWheelClickWindow();
    return Verdict::drop;
}

EventTap::Verdict SuppressionState::judgeSpeechMikeButton(int button, std::uint64_t now)
{
    if (!speechMikePresent_)
        return Verdict::pass;
    const auto entry = speechMikeDeadlines_.constFind(button);
    if (entry == speechMikeDeadlines_.cend())
        return Verdict::pass;
    const bool inside = *entry >= now;
    speechMikeDeadlines_.erase(entry);
    return inside ? Verdict::drop : Verdict::pass;
}

void SuppressionState::closeWheelWindow()
{
    wheelUntil_.reset();
    wheelRemaining_ = 0;
    wheelDirection_ = 0;
}

void SuppressionState::closeWheelClickWindow()
{
    wheelClickUntil_.reset();
    wheelClickRemaining_ = 0;
}

void SuppressionState::armKey(std::uint16_t keyCode, std::uint64_t now)
{
    keyDeadlines_.insert(keyCode, deadline(now, keyWindowNanos));
}

void SuppressionState::armWheel(int direction, std::uint64_t now)
{
    wheelUntil_ = deadline(now, wheelWindowNanos);
    wheelRemaining_ = 1;
    wheelDirection_ = direction;
}

void SuppressionState::armWheelClick(std::uint64_t now)
{
    // The press and the release of the middle button.
    wheelClickUntil_ = deadline(now, wheelClickWindowNanos);
    wheelClickRemaining_ = 2;
}

void SuppressionState::armSpeechMikeMouse(bool rightButton, std::uint64_t now)
{
    speechMikeDeadlines_.insert(rightButton ? 1 : 0, deadline(now, speechMikeMouseWindowNanos));
}

void SuppressionState::tartarusRegistered(int productId)
{
    tartarusPresent_ = true;
    primePending_ = productId != HIDDeviceTable::tartarusProProductId;
}

void SuppressionState::tartarusForgotten(bool anyTartarusLeft)
{
    tartarusPresent_ = anyTartarusLeft;
    primePending_ = false;
    keyDeadlines_.clear();
}

void SuppressionState::speechMikeRegistered() { speechMikePresent_ = true; }

void SuppressionState::speechMikeForgotten(bool anySpeechMikeLeft)
{
    speechMikePresent_ = anySpeechMikeLeft;
    speechMikeDeadlines_.clear();
}

void SuppressionState::reset()
{
    keyDeadlines_.clear();
    primePending_ = false;
    speechMikeDeadlines_.clear();
    closeWheelWindow();
    closeWheelClickWindow();
}

bool SuppressionState::isButtonMapped(const QString& deviceId, const QString& buttonId) const
{
    const auto entry = mappedButtons_.constFind(deviceId);
    return entry != mappedButtons_.cend() && entry->contains(buttonId);
}

} // namespace velmor
