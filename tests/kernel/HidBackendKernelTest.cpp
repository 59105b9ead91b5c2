// The Linux HID backend against the kernel: uhid devices are found through
// udev (present and arriving), seizing grabs their evdev nodes without leaving
// a key held, feature reports arrive byte for byte, and unplugging removes
// them. How their reports become button events: InputSourceKernelTest.

#include "KernelNodes.h"
#include "MainLoop.h"
#include "UhidDevice.h"
#include "platform/hid/linux/HidrawDevice.h"
#include "platform/hid/linux/UdevHidManager.h"
#include "support/HidDescriptors.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <future>

using namespace velmor::test::kernel;
using namespace velmor::hid;
using velmor::test::hid::bytes;
namespace descriptors = velmor::test::hid;

namespace {

constexpr Match keypadPair{0x1532, 0x0244};
constexpr Match dictationPair{0x0911, 0x0C1C};

const QByteArray onlyA = bytes({0x00, 0x00, 0x04, 0, 0, 0, 0, 0});
const QByteArray onlyB = bytes({0x00, 0x00, 0x05, 0, 0, 0, 0, 0});
const QByteArray noKeys = bytes({0, 0, 0, 0, 0, 0, 0, 0});

UhidDevice::Options keypadOptions() { return UhidDevice::Options{descriptors::keypad()}; }
UhidDevice::Options dictationOptions()
{
    return UhidDevice::Options{descriptors::dictationMicrophone(), 0x0911, 0x0C1C, QStringLiteral("Dictation test mic")};
}

// The key events of the next frame that presses or releases a key; a held
// keyboard key also repeats (value 2), which is skipped.
std::vector<InputEvent> nextKeyChange(int fd)
{
    for (;;) {
        const auto frame = readInputFrame(fd);
        if (!frame)
            return {};
        std::vector<InputEvent> keys = keyEvents(*frame);
        std::erase_if(keys, [](const InputEvent& event) { return event.value == 2; });
        if (!keys.empty())
            return keys;
    }
}

// True when another reader can no longer grab the node: someone holds it.
bool isGrabbed(const QString& node)
{
    const FileDescriptor probe = FileDescriptor::open(node, O_RDONLY);
    if (::ioctl(probe.get(), EVIOCGRAB, 1) == 0)
        return false; // closing the probe lets go again
    return errno == EBUSY;
}

class LinuxHidBackend : public testing::Test {
protected:
    void SetUp() override
    {
        if (::access("/dev/uhid", R_OK | W_OK) == 0)
            return;
        if (insideTestVm())
            FAIL() << "/dev/uhid is missing in the test VM";
        GTEST_SKIP() << "no /dev/uhid here; these tests run through scripts/kernel-test";
    }

    void startManager(QList<Match> matches = {keypadPair, dictationPair})
    {
        manager = std::make_unique<UdevHidManager>();
        manager->setDeviceMatching(matches);
        manager->setDeviceMatchedCallback([this](const std::shared_ptr<Device>& device) { matched.append(device); });
        manager->setDeviceRemovedCallback([this](const std::shared_ptr<Device>& device) { removed.append(device); });
        manager->setInputValueCallback([this](Result, const Value& value) { values.append(value); });
        ASSERT_TRUE(manager->open().isSuccess());
        manager->scheduleWithMainLoop();
    }

    // The matched device with this product id, once matched.
    std::shared_ptr<HidrawDevice> waitForMatched(std::int64_t productId)
    {
        std::shared_ptr<HidrawDevice> found;
        runMainLoopUntil([&] {
            for (const auto& device : std::as_const(matched))
                if (device->integerProperty(property::productId) == productId)
                    found = std::static_pointer_cast<HidrawDevice>(device);
            return found != nullptr;
        });
        return found;
    }

    bool waitForValues(qsizetype count)
    {
        return runMainLoopUntil([&] { return values.size() >= count; });
    }

    std::unique_ptr<UdevHidManager> manager;
    QList<std::shared_ptr<Device>> matched;
    QList<std::shared_ptr<Device>> removed;
    QList<Value> values;
};

} // namespace

TEST_F(LinuxHidBackend, FindsMatchingDevicesPresentAndArrivingAndNoOthers)
{
    UhidDevice keypad(keypadOptions());
    startManager();
    const auto found = waitForMatched(0x0244);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->node().devnode, keypad.nodes().hidraw);
    EXPECT_EQ(found->integerProperty(property::vendorId), 0x1532);
    EXPECT_EQ(found->stringProperty(property::product), QStringLiteral("Velmor test device"));
    // Read from the node's own descriptor.
    EXPECT_EQ(found->integerProperty(property::maxInputReportSize), 8);
    EXPECT_EQ(found->integerProperty(property::maxFeatureReportSize), 90);
    EXPECT_EQ(found->integerProperty(property::primaryUsagePage), 0x01);
    EXPECT_EQ(found->integerProperty(property::primaryUsage), 0x06);

    // Arrivals come through the monitor: a stranger first, then a known pair.
    UhidDevice stranger(UhidDevice::Options{descriptors::wheelMouse(), 0x046D, 0xC077, QStringLiteral("Some mouse")});
    UhidDevice dictation(dictationOptions());
    const auto arrived = waitForMatched(0x0C1C);
    ASSERT_TRUE(arrived);
    EXPECT_EQ(arrived->stringProperty(property::product), QStringLiteral("Dictation test mic"));
    EXPECT_EQ(arrived->integerProperty(property::maxFeatureReportSize), 91);
    EXPECT_EQ(matched.size(), 2);
    EXPECT_TRUE(removed.isEmpty());
}

TEST_F(LinuxHidBackend, SeizeGrabsEveryEvdevNodeOfTheDeviceUntilClosed)
{
    UhidDevice dictation(dictationOptions());
    UhidDevice keypad(keypadOptions());
    startManager();
    const auto dictationDevice = waitForMatched(0x0C1C);
    const auto keypadDevice = waitForMatched(0x0244);
    ASSERT_TRUE(dictationDevice && keypadDevice);
    // The microphone's vendor field and its buttons are two input devices.
    ASSERT_EQ(dictation.nodes().evdev.size(), 2);
    const FileDescriptor reader = FileDescriptor::open(keypad.nodes().evdev.first(), O_RDONLY);

    ASSERT_EQ(dictationDevice->open(OpenOptions::seize), Result::success());
    EXPECT_TRUE(dictationDevice->isSeized());
    for (const QString& node : dictation.nodes().evdev)
        EXPECT_TRUE(isGrabbed(node)) << node.toStdString();
    // Only that device's nodes.
    EXPECT_FALSE(isGrabbed(keypad.nodes().evdev.first()));

    // A key of a seized device reaches us through hidraw, and no other reader of its evdev node.
    ASSERT_EQ(keypadDevice->open(OpenOptions::seize), Result::success());
    keypad.sendInput(onlyA);
    keypad.sendInput(noKeys);
    ASSERT_TRUE(waitForValues(4));

    EXPECT_EQ(keypadDevice->close(OpenOptions::seize), Result::success());
    EXPECT_FALSE(isGrabbed(keypad.nodes().evdev.first()));
    keypad.sendInput(onlyB);
    EXPECT_EQ(nextKeyChange(reader.get()), (std::vector<InputEvent>{{EV_KEY, KEY_B, 1}}));

    EXPECT_EQ(dictationDevice->close(OpenOptions::seize), Result::success());
    for (const QString& node : dictation.nodes().evdev)
        EXPECT_FALSE(isGrabbed(node)) << node.toStdString();
}

TEST_F(LinuxHidBackend, SeizeLeavesNoKeyHeldForOtherReaders)
{
    UhidDevice keypad(keypadOptions());
    startManager();
    const auto device = waitForMatched(0x0244);
    ASSERT_TRUE(device);
    const FileDescriptor reader = FileDescriptor::open(keypad.nodes().evdev.first(), O_RDONLY);

    // A is held down, and stays down while the seize waits.
    keypad.sendInput(onlyA);
    ASSERT_EQ(nextKeyChange(reader.get()), (std::vector<InputEvent>{{EV_KEY, KEY_A, 1}}));
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(device->open(OpenOptions::seize), Result::success());
    EXPECT_GE(clock.elapsed(), EvdevGrab::defaultKeyReleaseWait.count() - 10);

    // The other reader saw A go up before the grab took the device away.
    EXPECT_EQ(nextKeyChange(reader.get()), (std::vector<InputEvent>{{EV_KEY, KEY_A, 0}}));
    EXPECT_TRUE(isGrabbed(keypad.nodes().evdev.first()));

    // The device's own release later goes nowhere else; B after the close does.
    keypad.sendInput(noKeys);
    ASSERT_TRUE(waitForValues(4));
    ASSERT_EQ(device->close(OpenOptions::seize), Result::success());
    keypad.sendInput(onlyB);
    EXPECT_EQ(nextKeyChange(reader.get()), (std::vector<InputEvent>{{EV_KEY, KEY_B, 1}}));
}

TEST_F(LinuxHidBackend, FeatureReportsArriveWithTheirIdInFront)
{
    UhidDevice keypad(keypadOptions());
    UhidDevice dictation(dictationOptions());
    startManager();
    const auto keypadDevice = waitForMatched(0x0244);
    const auto dictationDevice = waitForMatched(0x0C1C);
    ASSERT_TRUE(keypadDevice && dictationDevice);
    QByteArray payload(90, Qt::Uninitialized);
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7 + 3);

    EXPECT_EQ(keypadDevice->setFeatureReport(0, payload), Result::notOpen());
    ASSERT_EQ(keypadDevice->open(OpenOptions::none), Result::success());
    ASSERT_EQ(dictationDevice->open(OpenOptions::none), Result::success());

    struct Case {
        std::shared_ptr<HidrawDevice> device;
        UhidDevice* side;
        std::uint32_t reportId;
        quint16 answer;
        Result expected;
    };
    for (const Case& c : {Case{keypadDevice, &keypad, 0, 0, Result::success()},
                          Case{keypadDevice, &keypad, 0, EIO, Result::error()},
                          Case{dictationDevice, &dictation, 2, 0, Result::success()}}) {
        // The call waits for the device's answer.
        auto sent = std::async(std::launch::async, [&] { return c.device->setFeatureReport(c.reportId, payload); });
        const auto request = c.side->answerSetReport(c.answer);
        ASSERT_TRUE(request);
        EXPECT_EQ(request->reportType, UHID_FEATURE_REPORT);
        EXPECT_EQ(request->reportNumber, c.reportId);
        EXPECT_EQ(request->data, char(c.reportId) + payload);
        EXPECT_EQ(sent.get(), c.expected);
    }
}

TEST_F(LinuxHidBackend, UnpluggedDeviceIsRemovedAndLetsItsNodesGo)
{
    auto keypad = std::make_unique<UhidDevice>(keypadOptions());
    startManager();
    const auto device = waitForMatched(0x0244);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->open(OpenOptions::seize), Result::success());
    keypad->sendInput(onlyA);
    ASSERT_TRUE(waitForValues(2));

    keypad->destroy();
    ASSERT_TRUE(runMainLoopUntil([&] { return !removed.isEmpty(); }));
    EXPECT_EQ(removed, (QList<std::shared_ptr<Device>>{device}));
    EXPECT_FALSE(device->isAttached());
    EXPECT_FALSE(device->isSeized());
    EXPECT_EQ(device->setFeatureReport(0, QByteArray(90, 0)), Result::noDevice());
    // Removal comes once, whichever of the read error and the kernel event is first.
    UhidDevice next(keypadOptions());
    ASSERT_TRUE(runMainLoopUntil([&] { return matched.size() == 2; }));
    EXPECT_EQ(removed.size(), 1);
}

TEST_F(LinuxHidBackend, DescriptorsTheKernelAcceptsReadAsTheKernelReadsThem)
{
    // Button 1 and padding in an input report without id; one device adds a
    // stray trailing 0x00, the other a feature report with id 1.
    const QByteArray button = bytes({0x05, 0x09, 0x09, 0x01, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02,
                                     0x75, 0x07, 0x81, 0x03});
    UhidDevice trailingZero(UhidDevice::Options{button + bytes({0x00}), 0x1234, 0x0001});
    UhidDevice numberedFeature(
        UhidDevice::Options{button + bytes({0x85, 0x01, 0x09, 0x02, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02}), 0x1234, 0x0002});
    startManager({Match{0x1234, 0x0001}, Match{0x1234, 0x0002}});
    for (const std::int64_t product : {0x0001, 0x0002}) {
        const auto device = waitForMatched(product);
        ASSERT_TRUE(device) << product;
        EXPECT_EQ(device->integerProperty(property::maxInputReportSize), 1);
    }
    trailingZero.sendInput(bytes({0x01}));
    numberedFeature.sendInput(bytes({0x01}));
    ASSERT_TRUE(waitForValues(2));
    for (const Value& value : std::as_const(values)) {
        EXPECT_EQ(value.element.usagePage, 0x09u);
        EXPECT_EQ(value.element.usage, 0x01u);
        EXPECT_EQ(value.integerValue, 1);
    }
}
