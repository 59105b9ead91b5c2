#pragma once

#include "platform/tap/EventTap.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <cstdint>
#include <optional>

namespace velmor {

// What the suppression tap knows: short windows, armed by the keypad's and the
// SpeechMike's HID values, inside which the system events those devices produce
// on their own are dropped. Times are monotonic uptime in nanoseconds; a window
// holds its deadline, and an event at the deadline still counts as inside.
// Not thread-safe: the owner confines it to one serial queue.
class SuppressionState {
public:
    static constexpr std::uint64_t keyWindowNanos = 120'000'000;
    static constexpr std::uint64_t wheelWindowNanos = 20'000'000;
    static constexpr std::uint64_t wheelClickWindowNanos = 20'000'000;
    static constexpr std::uint64_t speechMikeMouseWindowNanos = 50'000'000;

    static constexpr std::uint16_t capsLockKeyCode = 57;
    static constexpr std::int64_t middleMouseButton = 2;

    using EventType = EventTap::EventType;
    static constexpr EventTap::Mask eventMask = EventTap::maskOf({
        EventType::leftMouseDown, EventType::leftMouseUp, EventType::rightMouseDown, EventType::rightMouseUp,
        EventType::keyDown, EventType::keyUp, EventType::flagsChanged, EventType::scrollWheel,
        EventType::otherMouseDown, EventType::otherMouseUp,
    });
    static_assert(eventMask == 0x6401C1E);

    struct Decision {
        EventTap::Verdict verdict = EventTap::Verdict::pass;
        // The first key after a keypad arrived was dropped blindly.
        bool primeFired = false;
        bool operator==(const Decision&) const = default;
    };

    // The tap's verdict on one event at `now`.
    Decision judge(const EventTap::Event& event, std::uint64_t now);

    // Arming by the HID value path.
    void armKey(std::uint16_t keyCode, std::uint64_t now);
    void armWheel(int direction, std::uint64_t now);
    void armWheelClick(std::uint64_t now);
    void armSpeechMikeMouse(bool rightButton, std::uint64_t now);

    // The device life cycle, mirrored: which kinds of device are registered.
    void tartarusRegistered(int productId);
    void tartarusForgotten(bool anyTartarusLeft);
    void speechMikeRegistered();
    void speechMikeForgotten(bool anySpeechMikeLeft);
    // The tap went away: every window closes. Registrations and mapped buttons stay.
    void reset();

    // Template id to the ids of its mapped buttons, replaced as a whole.
    void setMappedButtons(QHash<QString, QSet<QString>> mapped) { mappedButtons_ = std::move(mapped); }
    bool isButtonMapped(const QString& deviceId, const QString& buttonId) const;

private:
    Decision judgeKey(std::uint16_t keyCode, std::uint64_t now);
    EventTap::Verdict judgeScroll(const EventTap::Event& event, std::uint64_t now);
    EventTap::Verdict judgeMiddleButton(std::uint64_t now);
    EventTap::Verdict judgeSpeechMikeButton(int button, std::uint64_t now);
    void closeWheelWindow();
    void closeWheelClickWindow();

    bool tartarusPresent_ = false;
    bool speechMikePresent_ = false;
    QHash<std::uint16_t, std::uint64_t> keyDeadlines_;
    bool primePending_ = false;
    std::optional<std::uint64_t> wheelUntil_;
    int wheelRemaining_ = 0;
    int wheelDirection_ = 0;
    std::optional<std::uint64_t> wheelClickUntil_;
    int wheelClickRemaining_ = 0;
    QHash<int, std::uint64_t> speechMikeDeadlines_; // 0 left, 1 right
    QHash<QString, QSet<QString>> mappedButtons_;
};

} // namespace velmor
