#include "input/SuppressionState.h"
#include "platform/tap/ScriptedEventTap.h"

#include <gtest/gtest.h>

#include <limits>

using namespace velmor;
using Type = EventTap::EventType;
using Verdict = EventTap::Verdict;

namespace {

constexpr std::uint64_t ms = 1'000'000;
constexpr std::uint64_t t0 = 5'000 * ms;
constexpr int tartarusV2 = 0x022B;
constexpr int tartarusPro = 0x0244;
constexpr std::uint16_t keyK01 = 18;

class SuppressionStateTest : public ::testing::Test {
protected:
    Verdict key(std::uint16_t code, std::uint64_t now, Type type = Type::keyDown)
    {
        return state.judge(scripted::key(type, code), now).verdict;
    }
    Verdict scroll(std::int64_t lines, std::uint64_t now, std::int64_t points = 0)
    {
        return state.judge(scripted::scroll(lines, points), now).verdict;
    }
    Verdict mouse(Type type, std::uint64_t now, std::int64_t button = 0)
    {
        return state.judge(scripted::mouse(type, button), now).verdict;
    }

    SuppressionState state;
};

} // namespace

TEST_F(SuppressionStateTest, KeyDeadlineDropsOneEventUpToAndIncludingItsDeadline)
{
    state.tartarusRegistered(tartarusPro);
    state.armKey(keyK01, t0);
    EXPECT_EQ(key(keyK01, t0 + 100 * ms), Verdict::drop);
    EXPECT_EQ(key(keyK01, t0 + 101 * ms), Verdict::pass); // one-shot

    state.armKey(keyK01, t0);
    EXPECT_EQ(key(keyK01, t0 + SuppressionState::keyWindowNanos), Verdict::drop);

    state.armKey(keyK01, t0);
    EXPECT_EQ(key(keyK01, t0 + SuppressionState::keyWindowNanos + 1, Type::keyUp), Verdict::pass);
    EXPECT_FALSE(state.hasKeyDeadline(keyK01)); // the stale deadline is gone

    // Other codes are unaffected by a deadline for K01.
    state.armKey(keyK01, t0);
    EXPECT_EQ(key(19, t0), Verdict::pass);
    EXPECT_TRUE(state.hasKeyDeadline(keyK01));
}

TEST_F(SuppressionStateTest, WithoutAKeypadEveryKeyPassesAndDeadlinesAreLeftAlone)
{
    state.armKey(keyK01, t0);
    EXPECT_EQ(key(keyK01, t0), Verdict::pass);
    EXPECT_EQ(key(SuppressionState::capsLockKeyCode, t0), Verdict::pass);
    EXPECT_TRUE(state.hasKeyDeadline(keyK01));

    // A SpeechMike alone never drops keys, scrolls or middle clicks.
    state.speechMikeRegistered();
    state.armWheel(-1, t0);
    state.armWheelClick(t0);
    EXPECT_EQ(key(keyK01, t0), Verdict::pass);
    EXPECT_EQ(scroll(-1, t0), Verdict::pass);
    EXPECT_EQ(mouse(Type::otherMouseDown, t0, 2), Verdict::pass);
}

TEST_F(SuppressionStateTest, CapsLockIsDroppedWhileAnyKeypadIsRegistered)
{
    state.tartarusRegistered(tartarusPro);
    state.tartarusRegistered(tartarusPro);
    for (const Type type : {Type::keyDown, Type::keyUp, Type::flagsChanged})
        EXPECT_EQ(key(SuppressionState::capsLockKeyCode, t0, type), Verdict::drop);

    state.tartarusForgotten(true);
    EXPECT_EQ(key(SuppressionState::capsLockKeyCode, t0, Type::flagsChanged), Verdict::drop);
    state.tartarusForgotten(false);
    EXPECT_EQ(key(SuppressionState::capsLockKeyCode, t0, Type::flagsChanged), Verdict::pass);
}

TEST_F(SuppressionStateTest, PrimeDropsTheFirstKeypadCodeAfterAnOlderModelArrives)
{
    state.tartarusRegistered(tartarusV2);
    // Caps Lock and codes the keypad never types leave the prime armed.
    EXPECT_EQ(key(SuppressionState::capsLockKeyCode, t0), Verdict::drop);
    EXPECT_EQ(key(17, t0), Verdict::pass);
    EXPECT_TRUE(state.isPrimePending());

    state.armKey(keyK01, t0);
    const auto first = state.judge(scripted::key(Type::keyDown, keyK01), t0);
    EXPECT_EQ(first, (SuppressionState::Decision{Verdict::drop, true}));
    EXPECT_TRUE(state.hasKeyDeadline(keyK01)); // the prime leaves the deadline in place
    EXPECT_EQ(state.judge(scripted::key(Type::keyUp, keyK01), t0), (SuppressionState::Decision{Verdict::drop, false}));
    EXPECT_EQ(key(keyK01, t0), Verdict::pass);

    // The Pro sets no prime, and it cancels one an older model left.
    state.tartarusRegistered(tartarusV2);
    state.tartarusRegistered(tartarusPro);
    EXPECT_EQ(key(keyK01, t0), Verdict::pass);
}

TEST_F(SuppressionStateTest, ForgettingAKeypadClearsKeyDeadlinesAndPrime)
{
    state.tartarusRegistered(tartarusV2);
    state.armKey(keyK01, t0);
    state.tartarusForgotten(true);
    EXPECT_FALSE(state.isPrimePending());
    EXPECT_EQ(key(keyK01, t0), Verdict::pass);
}

TEST_F(SuppressionStateTest, WheelWindowDropsOneNotchInItsDirection)
{
    state.tartarusRegistered(tartarusPro);
    state.armWheel(-1, t0);
    EXPECT_EQ(scroll(+3, t0 + 5 * ms), Verdict::pass); // the user scrolling the other way
    EXPECT_TRUE(state.isWheelWindowOpen());
    EXPECT_EQ(scroll(-1, t0 + SuppressionState::wheelWindowNanos), Verdict::drop);
    EXPECT_FALSE(state.isWheelWindowOpen());
    EXPECT_EQ(scroll(-1, t0 + 10 * ms), Verdict::pass);

    // Without a line delta the point delta gives the direction.
    state.armWheel(+1, t0);
    EXPECT_EQ(scroll(0, t0, -12), Verdict::pass);
    EXPECT_EQ(scroll(0, t0, +12), Verdict::drop);

    // An event without direction matches any window.
    state.armWheel(+1, t0);
    EXPECT_EQ(scroll(0, t0), Verdict::drop);

    // One nanosecond late: passes and closes the window.
    state.armWheel(-1, t0);
    EXPECT_EQ(scroll(-1, t0 + SuppressionState::wheelWindowNanos + 1), Verdict::pass);
    EXPECT_FALSE(state.isWheelWindowOpen());
}

TEST_F(SuppressionStateTest, WheelClickWindowDropsThePressAndReleaseOfTheMiddleButton)
{
    state.tartarusRegistered(tartarusPro);
    state.armWheelClick(t0);
    EXPECT_EQ(mouse(Type::otherMouseDown, t0, 3), Verdict::pass); // back and forward buttons are never touched
    EXPECT_EQ(mouse(Type::otherMouseUp, t0, 4), Verdict::pass);
    EXPECT_EQ(mouse(Type::otherMouseDown, t0 + 1 * ms, 2), Verdict::drop);
    EXPECT_EQ(mouse(Type::otherMouseUp, t0 + SuppressionState::wheelClickWindowNanos, 2), Verdict::drop);
    EXPECT_EQ(mouse(Type::otherMouseDown, t0 + 2 * ms, 2), Verdict::pass);

    state.armWheelClick(t0);
    EXPECT_EQ(mouse(Type::otherMouseDown, t0 + SuppressionState::wheelClickWindowNanos + 1, 2), Verdict::pass);
    EXPECT_FALSE(state.isWheelClickWindowOpen());
}

TEST_F(SuppressionStateTest, SpeechMikeDeadlineIsConsumedByTheFirstMatchingButtonEvent)
{
    state.speechMikeRegistered();
    state.armSpeechMikeMouse(false, t0);
    EXPECT_EQ(mouse(Type::rightMouseDown, t0), Verdict::pass); // other button
    EXPECT_EQ(mouse(Type::leftMouseDown, t0 + 10 * ms), Verdict::drop);
    EXPECT_EQ(mouse(Type::leftMouseUp, t0 + 20 * ms), Verdict::pass);

    state.armSpeechMikeMouse(true, t0);
    EXPECT_EQ(mouse(Type::rightMouseUp, t0 + SuppressionState::speechMikeMouseWindowNanos), Verdict::drop);

    state.armSpeechMikeMouse(true, t0);
    EXPECT_EQ(mouse(Type::rightMouseDown, t0 + SuppressionState::speechMikeMouseWindowNanos + 1), Verdict::pass);
    EXPECT_FALSE(state.hasSpeechMikeDeadline(true)); // consumed although late

    // Once the last SpeechMike is gone its deadlines neither drop nor linger.
    state.armSpeechMikeMouse(false, t0);
    state.speechMikeForgotten(false);
    EXPECT_FALSE(state.hasSpeechMikeDeadline(false));
    state.armSpeechMikeMouse(false, t0);
    EXPECT_EQ(mouse(Type::leftMouseDown, t0), Verdict::pass);
}

TEST_F(SuppressionStateTest, ResetClosesEveryWindowButKeepsRegistrationsAndMappings)
{
    state.tartarusRegistered(tartarusV2);
    state.speechMikeRegistered();
    state.setMappedButtons({{"tartarus_v2", {"WHEEL_UP"}}});
    state.armKey(keyK01, t0);
    state.armWheel(1, t0);
    state.armWheelClick(t0);
    state.armSpeechMikeMouse(true, t0);
    state.reset();

    EXPECT_FALSE(state.isPrimePending());
    EXPECT_EQ(key(keyK01, t0), Verdict::pass);
    EXPECT_EQ(scroll(1, t0), Verdict::pass);
    EXPECT_EQ(mouse(Type::otherMouseDown, t0, 2), Verdict::pass);
    EXPECT_EQ(mouse(Type::rightMouseDown, t0), Verdict::pass);
    EXPECT_EQ(key(SuppressionState::capsLockKeyCode, t0), Verdict::drop);
    EXPECT_TRUE(state.isButtonMapped("tartarus_v2", "WHEEL_UP"));
    EXPECT_FALSE(state.isButtonMapped("tartarus_v2", "WHEEL_DOWN"));
    EXPECT_FALSE(state.isButtonMapped("speechmike_smp3700", "WHEEL_UP"));
}

TEST_F(SuppressionStateTest, DeadlinesNearTheEndOfTimeDoNotWrap)
{
    constexpr auto end = std::numeric_limits<std::uint64_t>::max();
    state.tartarusRegistered(tartarusPro);
    state.armKey(keyK01, end - 5);
    EXPECT_EQ(key(keyK01, end), Verdict::drop);
}
