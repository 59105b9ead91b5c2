#include "input/SuppressionTap.h"
#include "platform/tap/ScriptedEventTap.h"
#include "support/TestSupport.h"

#include <thread>

using namespace velmor;
using Type = EventTap::EventType;
using Verdict = EventTap::Verdict;

namespace {

constexpr std::uint64_t ms = 1'000'000;
constexpr int tartarusV2 = 0x022B;
constexpr int tartarusPro = 0x0244;
constexpr std::uint32_t usageK01 = 0x1E;
constexpr std::uint16_t keyK01 = 18;

const QString enabledLine = QStringLiteral("Event tap enabled to suppress Tartarus factory defaults.");

class SuppressionTapTest : public test::PlatformFixture {
protected:
    std::shared_ptr<SuppressionTap> make()
    {
        return SuppressionTap::create([this](const QString& line) { logs << line; },
                                      [this] { return inputMonitoring; });
    }
    Verdict key(std::uint16_t code, Type type = Type::keyDown) { return taps.post(scripted::key(type, code)); }

    ScopedScriptedEventTaps taps;
    bool inputMonitoring = true;
    QStringList logs;
};

} // namespace

TEST_F(SuppressionTapTest, InstallsOneEnabledTapForTheSuppressedEventTypes)
{
    auto suppression = make();
    suppression->installSuppressionTap();
    suppression->installSuppressionTap();
    EXPECT_EQ(taps.createCount(), 1);
    ASSERT_NE(taps.current(), nullptr);
    EXPECT_EQ(taps.current()->mask(), 0x6401C1Eu);
    EXPECT_TRUE(taps.current()->isAttached());
    EXPECT_TRUE(taps.current()->isEnabled());
    EXPECT_EQ(logs, QStringList{enabledLine});

    suppression->removeSuppressionTap();
    EXPECT_EQ(taps.liveCount(), 0u);
    EXPECT_FALSE(suppression->isInstalled());
}

TEST_F(SuppressionTapTest, InstallationFailuresLeaveNoWorkingTap)
{
    inputMonitoring = false;
    auto suppression = make();
    suppression->installSuppressionTap();
    EXPECT_EQ(taps.createCount(), 0);
    ASSERT_EQ(logs.size(), 1);
    EXPECT_TRUE(logs[0].startsWith("Input Monitoring permission not granted. Keyboard-style device reports may be "
                                   "blocked, and factory defaults cannot be suppressed."));
    EXPECT_TRUE(logs[0].endsWith(" then relaunch Velmor."));

    inputMonitoring = true;
    logs.clear();
    taps.setCreateFails(true);
    suppression->installSuppressionTap();
    EXPECT_EQ(logs, QStringList{"Failed to create event tap for default suppression."});
    EXPECT_FALSE(suppression->isInstalled());

    // A tap the main loop would not take stays in place, disabled and silent.
    logs.clear();
    taps.setCreateFails(false);
    taps.setAttachFails(true);
    suppression->installSuppressionTap();
    ASSERT_NE(taps.current(), nullptr);
    EXPECT_FALSE(taps.current()->isEnabled());
    EXPECT_TRUE(logs.isEmpty());
    suppression->installSuppressionTap();
    EXPECT_EQ(taps.createCount(), 2); // the dead tap is not replaced
}

TEST_F(SuppressionTapTest, InstallAndRemoveFromAnotherThreadRunOnTheMainQueue)
{
    auto suppression = make();
    std::thread([&] { suppression->installSuppressionTap(); }).join();
    EXPECT_EQ(taps.createCount(), 0);
    queue->runUntilIdle();
    EXPECT_TRUE(suppression->isInstalled());

    std::thread([&] { suppression->removeSuppressionTap(); }).join();
    EXPECT_TRUE(suppression->isInstalled());
    queue->runUntilIdle();
    EXPECT_FALSE(suppression->isInstalled());

    // Posted work finds the object gone and does nothing.
    std::thread([&] { suppression->installSuppressionTap(); }).join();
    suppression.reset();
    queue->runUntilIdle();
    EXPECT_EQ(taps.liveCount(), 0u);
}

TEST_F(SuppressionTapTest, KeyEventsOfArmedCodesAreDroppedUntilTheDeadlineInclusive)
{
    auto suppression = make();
    suppression->tartarusRegistered(tartarusPro);
    suppression->installSuppressionTap();

    suppression->armKeySuppression(usageK01);
    clock->advance(100 * ms);
    EXPECT_EQ(key(keyK01), Verdict::drop);
    EXPECT_EQ(key(keyK01), Verdict::pass);

    suppression->armKeySuppression(usageK01);
    clock->advance(120 * ms);
    EXPECT_EQ(key(keyK01, Type::keyUp), Verdict::drop);

    suppression->armKeySuppression(usageK01);
    clock->advance(120 * ms + 1);
    EXPECT_EQ(key(keyK01), Verdict::pass);

    // Usages the keypad types nothing for arm nothing.
    suppression->armKeySuppression(0x05);
    EXPECT_EQ(key(11), Verdict::pass);
    EXPECT_FALSE(suppression->withState([](SuppressionState& state) { return state.hasKeyDeadline(11); }));
}

TEST_F(SuppressionTapTest, WindowsArmedFromTheValuePathRunOnTheClock)
{
    auto suppression = make();
    suppression->tartarusRegistered(tartarusPro);
    suppression->speechMikeRegistered();
    suppression->installSuppressionTap();

    suppression->armWheelSuppression(-1);
    clock->advance(20 * ms);
    EXPECT_EQ(taps.post(scripted::scroll(-1)), Verdict::drop);
    suppression->armWheelSuppression(-1);
    clock->advance(20 * ms + 1);
    EXPECT_EQ(taps.post(scripted::scroll(-1)), Verdict::pass);

    suppression->armWheelClickSuppression();
    clock->advance(20 * ms);
    EXPECT_EQ(taps.post(scripted::mouse(Type::otherMouseDown, 2)), Verdict::drop);
    EXPECT_EQ(taps.post(scripted::mouse(Type::otherMouseUp, 2)), Verdict::drop);
    EXPECT_EQ(taps.post(scripted::mouse(Type::otherMouseDown, 2)), Verdict::pass);

    suppression->armSpeechMikeMouseSuppression(true);
    clock->advance(50 * ms);
    EXPECT_EQ(taps.post(scripted::mouse(Type::rightMouseDown)), Verdict::drop);
    EXPECT_EQ(taps.post(scripted::mouse(Type::rightMouseUp)), Verdict::pass);
    suppression->armSpeechMikeMouseSuppression(false);
    clock->advance(50 * ms + 1);
    EXPECT_EQ(taps.post(scripted::mouse(Type::leftMouseDown)), Verdict::pass);
}

TEST_F(SuppressionTapTest, ThePrimeIsLoggedOnceWhenItFires)
{
    auto suppression = make();
    suppression->tartarusRegistered(tartarusV2);
    suppression->installSuppressionTap();
    logs.clear();
    EXPECT_EQ(key(keyK01), Verdict::drop);
    EXPECT_EQ(key(keyK01), Verdict::pass);
    EXPECT_EQ(logs, QStringList{"Suppressed initial Tartarus default key event."});
}

TEST_F(SuppressionTapTest, ATimedOutTapIsEnabledAgainAndKeepsJudging)
{
    auto suppression = make();
    suppression->tartarusRegistered(tartarusPro);
    suppression->installSuppressionTap();
    taps.timeOut();
    EXPECT_TRUE(taps.current()->isEnabled());
    EXPECT_EQ(taps.current()->enableCount(), 2);
    suppression->armKeySuppression(usageK01);
    EXPECT_EQ(key(keyK01), Verdict::drop);
}

TEST_F(SuppressionTapTest, RemovingTheTapClosesEveryWindowButKeepsMappings)
{
    auto suppression = make();
    suppression->tartarusRegistered(tartarusV2);
    suppression->setMappedButtons({{"tartarus_v2", {"WHEEL_PRESS"}}});
    suppression->installSuppressionTap();
    suppression->armKeySuppression(usageK01);
    suppression->armWheelClickSuppression();
    suppression->removeSuppressionTap();
    suppression->installSuppressionTap();

    EXPECT_EQ(key(keyK01), Verdict::pass); // neither prime nor deadline is left
    EXPECT_EQ(taps.post(scripted::mouse(Type::otherMouseDown, 2)), Verdict::pass);
    EXPECT_EQ(key(SuppressionState::capsLockKeyCode), Verdict::drop); // the keypad is still registered
    EXPECT_TRUE(suppression->isButtonMapped("tartarus_v2", "WHEEL_PRESS"));
}

TEST(SuppressionTapOnAWorkerThread, ArmingIsAppliedInTheOrderItWasHandedOver)
{
    ScopedManualClock clock;
    auto suppression = SuppressionTap::create([](const QString&) {}, [] { return true; });
    suppression->tartarusRegistered(tartarusPro);
    suppression->armWheelSuppression(-1);
    suppression->armWheelClickSuppression();
    suppression->tartarusForgotten(false);
    suppression->armSpeechMikeMouseSuppression(true);
    // A synchronous hop sees everything handed over before it.
    EXPECT_TRUE(suppression->withState([](SuppressionState& state) {
        return state.isWheelWindowOpen() && state.isWheelClickWindowOpen() && state.hasSpeechMikeDeadline(true);
    }));
    EXPECT_EQ(suppression->withState([](SuppressionState& state) {
        return state.judge(scripted::scroll(-1), Clock::now()).verdict;
    }), Verdict::pass); // no keypad registered any more
}
