#include "ScriptedSourceFixture.h"

#include "input/SuppressionTap.h"

#include <functional>
#include <limits>
#include <thread>

using namespace velmor;

namespace {

constexpr std::uint64_t ms = 1'000'000;
constexpr std::uint32_t usageK01 = 0x1E;

// The tap on its own, without a HID source.
class SuppressionTapTest : public test::ScriptedSourceFixture {
protected:
    bool inputMonitoring = true;
    std::shared_ptr<SuppressionTap> suppression = SuppressionTap::create(
        [this](const QString& line) { logs << line; }, [this] { return inputMonitoring; });
};

} // namespace

TEST_F(SuppressionTapTest, InstallsOneEnabledTapOnTheMainThreadOrSaysWhyNot)
{
    inputMonitoring = false;
    suppression->installSuppressionTap();
    EXPECT_TRUE(logs[0].startsWith("Input Monitoring permission not granted. Keyboard-style device reports may be "
                                   "blocked, and factory defaults cannot be suppressed."));

    inputMonitoring = true;
    taps.setCreateFails(true);
    suppression->installSuppressionTap();
    EXPECT_EQ(logs.last(), "Failed to create event tap for default suppression.");

    taps.setCreateFails(false);
    suppression->installSuppressionTap();
    suppression->installSuppressionTap();
    EXPECT_EQ(taps.createCount(), 2);
    EXPECT_EQ(taps.current()->mask(), 0x6401C1Eu);
    EXPECT_EQ(logs.last(), "Event tap enabled to suppress Tartarus factory defaults.");

    // A tap the main loop would not take stays, disabled and silent, until removed.
    suppression->removeSuppressionTap();
    taps.setAttachFails(true);
    suppression->installSuppressionTap();
    suppression->installSuppressionTap();
    EXPECT_EQ(taps.createCount(), 3);
    EXPECT_FALSE(taps.current()->isEnabled());
    EXPECT_EQ(logs.size(), 3);

    // Calls from other threads run on the main queue.
    suppression->removeSuppressionTap();
    taps.setAttachFails(false);
    std::thread([&] { suppression->installSuppressionTap(); }).join();
    EXPECT_FALSE(suppression->isInstalled());
    queue->runUntilIdle();
    EXPECT_TRUE(suppression->isInstalled());

    std::thread([&] { suppression->removeSuppressionTap(); }).join();
    std::thread([&] { suppression->installSuppressionTap(); }).join();
    suppression.reset(); // the posted work finds it gone
    queue->runUntilIdle();
    EXPECT_EQ(taps.liveCount(), 0u);
}

TEST_F(SuppressionTapTest, EveryWindowDropsItsOwnEventsUpToItsDeadline)
{
    suppression->tartarusRegistered(keypadPro);
    suppression->installSuppressionTap();
    suppression->speechMikeRegistered();
    // Each window: what arms it, how long it stays open, the event it drops
    // (how many of them) and an event it lets pass without closing.
    const struct {
        const char* name;
        std::function<void()> arm;
        std::uint64_t length;
        EventTap::Event event;
        int drops;
        EventTap::Event other;
    } windows[] = {
        {"key", [&] { suppression->armKeySuppression(usageK01); }, 120 * ms, scripted::key(Type::keyUp, keyK01), 1,
         scripted::key(Type::keyDown, 19)},
        // The user scrolling the other way keeps the wheel window.
        {"wheel", [&] { suppression->armWheelSuppression(-1); }, 20 * ms, scripted::scroll(-1), 1,
         scripted::scroll(+3)},
        // The wheel press: the middle button's press and release.
        {"wheel press", [&] { suppression->armWheelClickSuppression(); }, 20 * ms,
         scripted::mouse(Type::otherMouseUp, 2), 2, scripted::mouse(Type::otherMouseDown, 3)},
        // A SpeechMike click: the first event of its own button.
        {"click", [&] { suppression->armSpeechMikeMouseSuppression(false); }, 50 * ms,
         scripted::mouse(Type::leftMouseUp), 1, scripted::mouse(Type::rightMouseDown)},
    };
    for (const auto& window : windows) {
        window.arm();
        EXPECT_EQ(taps.post(window.other), Verdict::pass) << window.name;
        clock->advance(window.length);
        for (int i = 0; i < window.drops; ++i)
            EXPECT_EQ(taps.post(window.event), Verdict::drop) << window.name << " at its deadline";
        EXPECT_EQ(taps.post(window.event), Verdict::pass) << window.name << " used up";
        const std::uint64_t armedAt = Clock::now();
        window.arm();
        clock->advance(window.length + 1);
        EXPECT_EQ(taps.post(window.event), Verdict::pass) << window.name << " after its deadline";
        clock->set(armedAt);
        EXPECT_EQ(taps.post(window.event), Verdict::pass) << window.name << ": the late event closed it";
    }

    // The point delta gives a scroll its direction; without one it matches any window.
    suppression->armWheelSuppression(+1);
    EXPECT_EQ(scroll(0, -12), Verdict::pass);
    EXPECT_EQ(scroll(0, +12), Verdict::drop);
    suppression->armWheelSuppression(+1);
    EXPECT_EQ(scroll(0), Verdict::drop);
    // Near the end of time a deadline saturates rather than wrapping into the past.
    clock->set(std::numeric_limits<std::uint64_t>::max() - 5);
    suppression->armKeySuppression(usageK01);
    clock->advance(5);
    EXPECT_EQ(key(keyK01), Verdict::drop);
}

TEST_F(SuppressionTapTest, ThePrimeDropsTheFirstKeypadCodeAfterAnOlderModelArrives)
{
    suppression->tartarusRegistered(keypadV2);
    suppression->installSuppressionTap();
    logs.clear();
    EXPECT_EQ(key(capsLock), Verdict::drop);
    EXPECT_EQ(key(17), Verdict::pass); // not a keypad code: the prime waits
    suppression->armKeySuppression(usageK01);
    EXPECT_EQ(key(keyK01), Verdict::drop);
    EXPECT_EQ(logs, QStringList{"Suppressed initial Tartarus default key event."});
    EXPECT_EQ(key(keyK01, Type::keyUp), Verdict::drop); // the deadline outlived the prime
    EXPECT_EQ(key(keyK01), Verdict::pass);
}

TEST_F(SuppressionTapTest, WindowsActOnlyWhileTheirDevicesAreRegistered)
{
    suppression->installSuppressionTap();
    suppression->speechMikeRegistered();
    suppression->armKeySuppression(usageK01);
    suppression->armWheelSuppression(-1);
    suppression->armWheelClickSuppression();
    EXPECT_EQ(key(keyK01), Verdict::pass);
    EXPECT_EQ(scroll(-1), Verdict::pass);
    EXPECT_EQ(mouse(Type::otherMouseDown, 2), Verdict::pass);

    // Caps Lock from any keyboard goes while keypads are registered.
    suppression->tartarusRegistered(keypadV2);
    suppression->tartarusRegistered(keypadPro);
    EXPECT_EQ(key(capsLock, Type::flagsChanged), Verdict::drop);
    // Forgetting a device closes its windows, and so does removing the tap.
    suppression->armKeySuppression(usageK01);
    suppression->tartarusForgotten(true);
    EXPECT_EQ(key(keyK01), Verdict::pass);
    suppression->armSpeechMikeMouseSuppression(false);
    suppression->speechMikeForgotten(false);
    suppression->speechMikeRegistered();
    EXPECT_EQ(mouse(Type::leftMouseDown), Verdict::pass);
    suppression->tartarusRegistered(keypadV2);
    suppression->setMappedButtons({{"tartarus_v2", {"WHEEL_PRESS"}}});
    suppression->armKeySuppression(usageK01);
    suppression->armWheelClickSuppression();
    suppression->removeSuppressionTap();
    suppression->installSuppressionTap();
    EXPECT_EQ(key(keyK01), Verdict::pass); // neither prime nor deadline is left
    EXPECT_EQ(mouse(Type::otherMouseDown, 2), Verdict::pass);
    EXPECT_EQ(key(capsLock), Verdict::drop); // the keypad is still registered
    EXPECT_TRUE(suppression->isButtonMapped("tartarus_v2", "WHEEL_PRESS")); // mappings outlive the tap
    // The buttons gathered from the mappings themselves, by device.
    suppression->setMappedButtonsOf({{QUuid::createUuid(), "tartarus_v2", "K01", QUuid::createUuid()},
                                     {QUuid::createUuid(), "speechmike_smp3700", "REC", QUuid::createUuid()}});
    EXPECT_TRUE(suppression->isButtonMapped("tartarus_v2", "K01"));
    EXPECT_TRUE(suppression->isButtonMapped("speechmike_smp3700", "REC"));
    EXPECT_FALSE(suppression->isButtonMapped("tartarus_v2", "WHEEL_PRESS")) << "the new mappings replace the old";
    EXPECT_FALSE(suppression->isButtonMapped("speechmike_smp3700", "K01"));
    suppression->setMappedButtons({{"tartarus_v2", {"WHEEL_PRESS"}}});

    // A tap the system timed out is enabled again.
    taps.timeOut();
    EXPECT_EQ(taps.current()->enableCount(), 2);
    suppression->armWheelSuppression(1);
    EXPECT_EQ(scroll(1), Verdict::drop);
}
