#include "input/HIDDeviceInputSource.h"
#include "platform/hid/ScriptedHid.h"
#include "platform/ProcessWide.h"
#include "platform/permissions/ScriptedPermissions.h"
#include "platform/tap/ScriptedEventTap.h"
#include "support/TestSupport.h"

using namespace velmor;
using namespace velmor::hid;
using Type = EventTap::EventType;
using Verdict = EventTap::Verdict;

namespace {

constexpr std::int64_t razer = 0x1532;
constexpr std::int64_t tartarusPro = 0x0244;
constexpr std::int64_t tartarusV2 = 0x022B;
constexpr std::uint16_t keyK01 = 18;
constexpr std::uint16_t capsLock = 57;

const Element keyA{.cookie = 1, .type = ElementType::inputButton, .usagePage = 7, .usage = 0x04};

class HIDDeviceInputSourceSuppressionTest : public test::PlatformFixture {
protected:
    HIDDeviceInputSourceSuppressionTest() { permissions->inputMonitoring = true; }

    void start()
    {
        source = HIDDeviceInputSource::create(false);
        source->onLog = [this](const QString& line) { logs << line; };
        queue->runUntilIdle();
    }
    std::shared_ptr<ScriptedDevice> plugKeypad(std::int64_t product)
    {
        auto device = hid.plug(razer, product, QStringLiteral("Razer Tartarus"),
                               {{property::primaryUsagePage, 1}, {property::primaryUsage, 6}}, {keyA});
        queue->runUntilIdle();
        return device;
    }
    std::shared_ptr<ScriptedDevice> plugSpeechMike()
    {
        auto device = hid.plug(0x0911, 0x0C1C, QStringLiteral("SpeechMike"));
        queue->runUntilIdle();
        return device;
    }
    void unplug(const std::shared_ptr<ScriptedDevice>& device)
    {
        hid.unplug(device);
        queue->runUntilIdle();
    }
    Verdict key(std::uint16_t code) { return taps.post(scripted::key(Type::keyDown, code)); }

    ScopedInstance<Permissions, ScriptedPermissions> permissions;
    ScopedScriptedEventTaps taps;
    ScriptedHid hid;
    std::shared_ptr<HIDDeviceInputSource> source;
    QStringList logs;
};

} // namespace

TEST_F(HIDDeviceInputSourceSuppressionTest, TheTapLivesWhileAKeypadOrSpeechMikeIsRegistered)
{
    start();
    auto pro = plugKeypad(tartarusPro);
    EXPECT_TRUE(source->hasSuppressionTap());
    EXPECT_EQ(key(keyK01), Verdict::pass); // the Pro sets no prime
    auto speechMike = plugSpeechMike();
    EXPECT_EQ(taps.createCount(), 1);

    // An older keypad primes the tap; forgetting it drops every key deadline.
    auto v2 = plugKeypad(tartarusV2);
    EXPECT_EQ(key(keyK01), Verdict::drop);
    source->armKeySuppression(0x1E);
    unplug(v2);
    EXPECT_EQ(key(keyK01), Verdict::pass);
    EXPECT_EQ(logs.count("Suppressed initial Tartarus default key event."), 1);
    EXPECT_EQ(key(capsLock), Verdict::drop); // the Pro is still there

    // With only the SpeechMike left the tap stays, but keys are the keyboard's again.
    unplug(pro);
    EXPECT_TRUE(source->hasSuppressionTap());
    EXPECT_EQ(key(capsLock), Verdict::pass);
    source->armSpeechMikeMouseSuppression(false);
    EXPECT_EQ(taps.post(scripted::mouse(Type::leftMouseDown)), Verdict::drop);

    unplug(speechMike);
    EXPECT_FALSE(source->hasSuppressionTap());
    EXPECT_EQ(taps.liveCount(), 0u);
}

TEST_F(HIDDeviceInputSourceSuppressionTest, TheProKeyboardInterfaceIsReadDirectlyEvenWithoutATap)
{
    permissions->inputMonitoring = false;
    start();
    auto keypad = plugKeypad(tartarusPro);
    EXPECT_FALSE(source->hasSuppressionTap());
    EXPECT_EQ(logs.filter("Input Monitoring permission not granted.").size(), 1);
    EXPECT_TRUE(logs.contains("Registered Tartarus Pro keyboard direct reader with 1 queued elements and 64-byte "
                              "report buffer."));

    unplug(keypad);
    EXPECT_FALSE(keypad->hasInputReportCallback());
    EXPECT_FALSE(keypad->hasInputValueCallback());
}
