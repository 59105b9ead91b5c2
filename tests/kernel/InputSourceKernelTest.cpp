// The HID device source on the Linux backend, against the kernel: a keypad and
// a dictation microphone made through uhid are matched and seized, their
// reports become button events, the keypad's lighting report reaches it byte
// for byte, and unplugging a device releases what it held.

#include "KernelNodes.h"
#include "MainLoop.h"
#include "UhidDevice.h"
#include "input/HIDDeviceInputSource.h"
#include "input/RazerRGB.h"
#include "platform/Settings.h"
#include "platform/hid/linux/UdevHidManager.h"
#include "support/HidDescriptors.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace velmor;
using namespace velmor::test::kernel;
using velmor::test::hid::bytes;
namespace descriptors = velmor::test::hid;

namespace {

class HidSourceInKernel : public testing::Test {
protected:
    void SetUp() override
    {
        if (::access("/dev/uhid", R_OK | W_OK) != 0) {
            if (insideTestVm())
                FAIL() << "/dev/uhid is missing in the test VM";
            GTEST_SKIP() << "no /dev/uhid here; these tests run through scripts/kernel-test";
        }
        hid::UdevHidManager::installAsDefault();
    }

    void TearDown() override
    {
        source.reset();
        hid::Manager::setFactory({});
    }

    void startSource()
    {
        source = HIDDeviceInputSource::create(false);
        source->onLog = [this](const QString& line) { logs.append(line); };
        source->onEvent = [this](const DeviceButtonEvent& event) {
            events.append(event.deviceId + QLatin1Char(' ') + event.buttonId
                          + (event.isPressed ? QStringLiteral(" down") : QStringLiteral(" up")));
        };
    }

    bool waitForLog(const QString& line)
    {
        return runMainLoopUntil([&] { return logs.contains(line); });
    }

    bool waitForEvents(const QStringList& expected)
    {
        const bool arrived = runMainLoopUntil([&] { return events.size() >= expected.size(); });
        EXPECT_EQ(events, expected);
        events.clear();
        return arrived;
    }

    bool waitForConnected(qsizetype count)
    {
        return runMainLoopUntil([&] { return source->connectedDevices().get().size() == count; });
    }

    static bool isGrabbed(const QString& node)
    {
        const FileDescriptor probe = FileDescriptor::open(node, O_RDONLY);
        return ::ioctl(probe.get(), EVIOCGRAB, 1) != 0 && errno == EBUSY;
    }

    ScopedInMemorySettings settings;
    std::shared_ptr<HIDDeviceInputSource> source;
    QStringList logs;
    QStringList events;
};

UhidDevice::Options keypadOptions() { return UhidDevice::Options{descriptors::keypad(), 0x1532, 0x0244, QStringLiteral("Test keypad")}; }
UhidDevice::Options microphoneOptions()
{
    return UhidDevice::Options{descriptors::dictationMicrophone(), 0x0911, 0x0C1C, QStringLiteral("Test microphone")};
}

} // namespace

TEST_F(HidSourceInKernel, KeypadAndMicrophoneAreSeizedAndTheirReportsBecomeButtonEvents)
{
    UhidDevice keypad(keypadOptions());
    UhidDevice microphone(microphoneOptions());
    startSource();

    ASSERT_TRUE(waitForConnected(2));
    ASSERT_TRUE(waitForLog(QStringLiteral("Seized HID device Test keypad to suppress factory defaults.")));
    ASSERT_TRUE(waitForLog(QStringLiteral("Seized HID device Test microphone to suppress factory defaults.")));
    for (const QString& node : keypad.nodes().evdev + microphone.nodes().evdev)
        EXPECT_TRUE(isGrabbed(node)) << node.toStdString();
    // Its keyboard elements: 8 modifiers, 6 slots and the 255 usages they can select.
    ASSERT_TRUE(waitForLog(
        QStringLiteral("Registered Tartarus Pro keyboard direct reader with 269 queued elements and 64-byte report buffer.")))
        << logs.join(QLatin1Char('\n')).toStdString();

    // Shift and A held, then let go: each key once, each value through the manager alone.
    keypad.sendInput(bytes({0x02, 0x00, 0x04, 0, 0, 0, 0, 0}));
    waitForEvents({QStringLiteral("tartarus_v2 K16 down"), QStringLiteral("tartarus_v2 K12 down")});
    keypad.sendInput(bytes({0, 0, 0, 0, 0, 0, 0, 0}));
    waitForEvents({QStringLiteral("tartarus_v2 K16 up"), QStringLiteral("tartarus_v2 K12 up")});
    EXPECT_TRUE(logs.contains(QStringLiteral(
        "Tartarus Pro keyboard report id 0 len 8 bytes [02 00 04 00 00 00 00 00] usages [0x0004, 0x00E1]")));

    // The microphone's status word (report 1, bit 63) and its first trigger (report 3).
    microphone.sendInput(bytes({0x01, 0, 0, 0, 0, 0, 0, 0, 0x80}));
    waitForEvents({QStringLiteral("speechmike_smp3700 INFO down")});
    microphone.sendInput(bytes({0x01, 0, 0, 0, 0, 0, 0, 0, 0}));
    waitForEvents({QStringLiteral("speechmike_smp3700 INFO up")});
    microphone.sendInput(bytes({0x03, 0x01}));
    waitForEvents({QStringLiteral("speechmike_smp3700 BOTTOM_TRIGGER down")});
}

TEST_F(HidSourceInKernel, LightingReportReachesTheKeypadByteForByte)
{
    UhidDevice keypad(keypadOptions());
    startSource();
    ASSERT_TRUE(waitForLog(QStringLiteral("Seized HID device Test keypad to suppress factory defaults.")));

    const RazerRGB colour{0x78, 0x00, 0xD1};
    source->setLighting(colour);
    const auto request = keypad.answerSetReport();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->reportType, UHID_FEATURE_REPORT);
    EXPECT_EQ(request->reportNumber, 0);
    // No report ids on the keypad: the id byte 0, then the 90 bytes.
    EXPECT_EQ(request->data, '\0' + colour.featureReport());
    EXPECT_EQ(request->data.mid(1, 18).toHex(' '), "00 3f 00 00 00 09 0f 02 01 05 01 00 00 01 78 00 d1 00");
    EXPECT_EQ(quint8(request->data.at(1 + 87)), 0xA9);
    EXPECT_TRUE(waitForLog(QStringLiteral("Tartarus lighting set to #7800D1.")));
}

TEST_F(HidSourceInKernel, UnpluggingReleasesWhatTheDeviceHeld)
{
    auto keypad = std::make_unique<UhidDevice>(keypadOptions());
    UhidDevice microphone(microphoneOptions());
    startSource();
    ASSERT_TRUE(waitForConnected(2));
    ASSERT_TRUE(waitForLog(QStringLiteral("Seized HID device Test keypad to suppress factory defaults.")));

    keypad->sendInput(bytes({0x00, 0x00, 0x1E, 0, 0, 0, 0, 0}));
    waitForEvents({QStringLiteral("tartarus_v2 K01 down")});

    keypad->destroy();
    waitForEvents({QStringLiteral("tartarus_v2 K01 up")});
    ASSERT_TRUE(waitForConnected(1));
    EXPECT_EQ(source->connectedDevices().get().first().productId, 0x0C1C);
    EXPECT_TRUE(waitForLog(QStringLiteral("Hardware disconnected vendor 0x1532 product 0x0244")));
    // The microphone takes over.
    EXPECT_TRUE(runMainLoopUntil([&] { return source->connectedTemplateId() == QStringLiteral("speechmike_smp3700"); }));
}
