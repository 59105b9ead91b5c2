// The HID device source on the Linux backend, against the kernel: a keypad and
// a dictation microphone made through uhid are matched, seized and read, and
// unplugging one is noticed.

#include "KernelNodes.h"
#include "MainLoop.h"
#include "UhidDevice.h"
#include "input/HIDDeviceInputSource.h"
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
            events.append(event.buttonId + (event.isPressed ? QStringLiteral(" down") : QStringLiteral(" up")));
        };
    }

    bool waitForLog(const QString& line)
    {
        return runMainLoopUntil([&] { return logs.contains(line); });
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

TEST_F(HidSourceInKernel, KeypadAndMicrophoneAreMatchedSeizedAndRead)
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

    // The keypad's keyboard reports come back through its report reader.
    keypad.sendInput(bytes({0x02, 0x00, 0x04, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(waitForLog(QStringLiteral(
        "Tartarus Pro keyboard report id 0 len 8 bytes [02 00 04 00 00 00 00 00] usages [0x0004, 0x00E1]")));
}

TEST_F(HidSourceInKernel, UnpluggedDeviceLeavesTheConnectedList)
{
    UhidDevice keypad(keypadOptions());
    auto microphone = std::make_unique<UhidDevice>(microphoneOptions());
    startSource();
    ASSERT_TRUE(waitForConnected(2));

    microphone->destroy();
    ASSERT_TRUE(waitForConnected(1));
    EXPECT_EQ(source->connectedDevices().get().first().productId, 0x0244);
    EXPECT_TRUE(waitForLog(QStringLiteral("Hardware disconnected vendor 0x0911 product 0x0C1C")));
}
