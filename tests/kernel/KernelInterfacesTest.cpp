// What the Linux backends rely on, checked against the kernel itself: a uhid
// device shows up with its hidraw and evdev nodes, reports travel both ways
// byte for byte, a grab keeps a device's events from everyone else, and a
// uinput keyboard's events come out of its evdev node as written.

#include "KernelNodes.h"
#include "UhidDevice.h"
#include "platform/hid/ReportDecoder.h"
#include "support/HidDescriptors.h"

#include <gtest/gtest.h>

#include <QFile>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

using namespace velmor::test::kernel;
using velmor::test::hid::bytes;
namespace descriptors = velmor::test::hid;

namespace {

class KernelInterfaces : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* node : {"/dev/uhid", "/dev/uinput"}) {
            if (::access(node, R_OK | W_OK) == 0)
                continue;
            if (insideTestVm())
                FAIL() << node << " is missing in the test VM";
            GTEST_SKIP() << "no " << node << " here; these tests run through scripts/kernel-test";
        }
    }

    static UhidDevice::Options keypadOptions() { return UhidDevice::Options{descriptors::keypad()}; }
};

const QByteArray shiftA = bytes({0x02, 0x00, 0x04, 0, 0, 0, 0, 0});
const QByteArray noKeys = bytes({0, 0, 0, 0, 0, 0, 0, 0});

std::vector<InputEvent> keys(std::initializer_list<std::pair<int, int>> codesAndValues)
{
    std::vector<InputEvent> events;
    for (const auto& [code, value] : codesAndValues)
        events.push_back(InputEvent{EV_KEY, quint16(code), value});
    return events;
}

// The error a read fails with, or 0 when it does not fail.
int readError(int fd)
{
    try {
        readWithin(fd, 64);
    } catch (const std::system_error& error) {
        return error.code().value();
    }
    return 0;
}

} // namespace

TEST_F(KernelInterfaces, UhidDeviceShowsItsIdsAndDescriptorThroughHidraw)
{
    UhidDevice device(keypadOptions());
    ASSERT_FALSE(device.nodes().evdev.isEmpty());
    const FileDescriptor hidraw = FileDescriptor::open(device.nodes().hidraw, O_RDWR);

    hidraw_devinfo info{};
    ASSERT_EQ(::ioctl(hidraw.get(), HIDIOCGRAWINFO, &info), 0);
    EXPECT_EQ(info.bustype, 0x03u);
    EXPECT_EQ(quint16(info.vendor), 0x1532);
    EXPECT_EQ(quint16(info.product), 0x0244);

    char name[256] = {};
    ASSERT_GT(::ioctl(hidraw.get(), HIDIOCGRAWNAME(sizeof name - 1), name), 0);
    EXPECT_STREQ(name, "Velmor test device");

    int size = 0;
    ASSERT_EQ(::ioctl(hidraw.get(), HIDIOCGRDESCSIZE, &size), 0);
    ASSERT_EQ(size, descriptors::keypad().size());
    hidraw_report_descriptor descriptor{};
    descriptor.size = __u32(size);
    ASSERT_EQ(::ioctl(hidraw.get(), HIDIOCGRDESC, &descriptor), 0);
    const QByteArray readBack(reinterpret_cast<const char*>(descriptor.value), size);
    EXPECT_EQ(readBack, descriptors::keypad());

    const auto parsed = velmor::hid::ReportDescriptor::parse(readBack);
    EXPECT_EQ(parsed.maxFeatureReportSize(), 90);
    EXPECT_EQ(parsed.primaryUsagePage(), 0x01u);
    EXPECT_EQ(parsed.primaryUsage(), 0x06u);
}

TEST_F(KernelInterfaces, InputReportsReachHidrawUnchangedAndEvdevAsKeys)
{
    UhidDevice device(keypadOptions());
    const FileDescriptor hidraw = FileDescriptor::open(device.nodes().hidraw, O_RDWR);
    const FileDescriptor evdev = FileDescriptor::open(device.nodes().evdev.first(), O_RDONLY);
    velmor::hid::ReportDecoder decoder(velmor::hid::ReportDescriptor::parse(descriptors::keypad()));

    device.sendInput(shiftA);
    const auto report = readWithin(hidraw.get(), 64);
    ASSERT_TRUE(report);
    EXPECT_EQ(*report, shiftA);
    const auto values = decoder.decode(*report);
    ASSERT_EQ(values.size(), 3);
    EXPECT_EQ(values[0].element.usage, 0xE1u);
    EXPECT_EQ(values[1].element.usage, velmor::hid::ReportElement::arraySlotUsage);
    EXPECT_EQ(values[1].value, 0x04);
    EXPECT_EQ(values[2].element.usage, 0x04u);

    const auto press = readInputFrame(evdev.get());
    ASSERT_TRUE(press);
    EXPECT_EQ(keyEvents(*press), keys({{KEY_LEFTSHIFT, 1}, {KEY_A, 1}}));

    device.sendInput(noKeys);
    EXPECT_EQ(readWithin(hidraw.get(), 64), noKeys);
    const auto release = readInputFrame(evdev.get());
    ASSERT_TRUE(release);
    EXPECT_EQ(keyEvents(*release), keys({{KEY_LEFTSHIFT, 0}, {KEY_A, 0}}));
}

TEST_F(KernelInterfaces, GrabKeepsTheDevicesKeysFromOtherReadersButNotFromHidraw)
{
    UhidDevice device(keypadOptions());
    const QString node = device.nodes().evdev.first();
    FileDescriptor grabber = FileDescriptor::open(node, O_RDONLY);
    FileDescriptor other = FileDescriptor::open(node, O_RDONLY);
    const FileDescriptor hidraw = FileDescriptor::open(device.nodes().hidraw, O_RDWR);

    ASSERT_EQ(::ioctl(grabber.get(), EVIOCGRAB, 1), 0);
    EXPECT_EQ(::ioctl(other.get(), EVIOCGRAB, 1), -1);
    EXPECT_EQ(errno, EBUSY);

    device.sendInput(bytes({0, 0, 0x04, 0, 0, 0, 0, 0}));
    device.sendInput(noKeys);
    EXPECT_EQ(keyEvents(readInputFrame(grabber.get()).value()), keys({{KEY_A, 1}}));
    EXPECT_EQ(keyEvents(readInputFrame(grabber.get()).value()), keys({{KEY_A, 0}}));
    EXPECT_EQ(readWithin(hidraw.get(), 64), bytes({0, 0, 0x04, 0, 0, 0, 0, 0}));

    // Released: the next key reaches the other reader, and A never did.
    ASSERT_EQ(::ioctl(grabber.get(), EVIOCGRAB, 0), 0);
    device.sendInput(bytes({0, 0, 0x05, 0, 0, 0, 0, 0}));
    EXPECT_EQ(keyEvents(readInputFrame(other.get()).value()), keys({{KEY_B, 1}}));

    // Closing the grabbing descriptor ends its grab as well.
    ASSERT_EQ(::ioctl(grabber.get(), EVIOCGRAB, 1), 0);
    grabber.reset();
    EXPECT_EQ(::ioctl(other.get(), EVIOCGRAB, 1), 0);
}

TEST_F(KernelInterfaces, FeatureReportArrivesAtTheDeviceByteForByte)
{
    UhidDevice device(keypadOptions());
    const FileDescriptor hidraw = FileDescriptor::open(device.nodes().hidraw, O_RDWR);

    // No report ids: the id byte 0 goes in front of the 90 bytes.
    QByteArray report(91, Qt::Uninitialized);
    report[0] = 0;
    for (int i = 1; i < report.size(); ++i)
        report[i] = char(i * 37 + 11);

    for (const quint16 answer : {0, EIO}) {
        QByteArray buffer = report;
        int result = 0;
        int error = 0;
        // The sender blocks until the device answers.
        std::thread sender([&] {
            result = ::ioctl(hidraw.get(), HIDIOCSFEATURE(buffer.size()), buffer.data());
            error = errno;
        });
        const auto request = device.answerSetReport(answer);
        sender.join();

        ASSERT_TRUE(request);
        EXPECT_EQ(request->reportType, UHID_FEATURE_REPORT);
        EXPECT_EQ(request->reportNumber, 0);
        EXPECT_EQ(request->data, report);
        if (answer == 0) {
            EXPECT_EQ(result, report.size());
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(error, EIO);
        }
    }
}

TEST_F(KernelInterfaces, UnpluggedDeviceFailsItsReaders)
{
    UhidDevice device(keypadOptions());
    const FileDescriptor hidraw = FileDescriptor::open(device.nodes().hidraw, O_RDWR);
    const FileDescriptor evdev = FileDescriptor::open(device.nodes().evdev.first(), O_RDONLY);
    device.sendInput(shiftA);
    ASSERT_TRUE(readWithin(hidraw.get(), 64));
    ASSERT_TRUE(readInputFrame(evdev.get()));

    device.destroy();
    EXPECT_EQ(readError(hidraw.get()), EIO);
    EXPECT_EQ(readError(evdev.get()), ENODEV);
    EXPECT_FALSE(QFile::exists(device.nodes().hidraw));
}

TEST_F(KernelInterfaces, UinputKeyboardEventsComeOutOfItsEvdevNode)
{
    const FileDescriptor uinput = FileDescriptor::open(QStringLiteral("/dev/uinput"), O_WRONLY);
    ASSERT_EQ(::ioctl(uinput.get(), UI_SET_EVBIT, EV_KEY), 0);
    for (const int key : {KEY_LEFTCTRL, KEY_C})
        ASSERT_EQ(::ioctl(uinput.get(), UI_SET_KEYBIT, key), 0);
    uinput_setup setup{};
    setup.id = input_id{BUS_VIRTUAL, 0x1234, 0x5678, 1};
    std::strcpy(setup.name, "Velmor test keyboard");
    ASSERT_EQ(::ioctl(uinput.get(), UI_DEV_SETUP, &setup), 0);
    ASSERT_EQ(::ioctl(uinput.get(), UI_DEV_CREATE), 0);

    char sysname[64] = {};
    ASSERT_GT(::ioctl(uinput.get(), UI_GET_SYSNAME(sizeof sysname - 1), sysname), 0);
    const QString node = evdevNodeOfInput(QString::fromLatin1(sysname));
    ASSERT_FALSE(node.isEmpty());
    const FileDescriptor reader = FileDescriptor::open(node, O_RDONLY);

    auto send = [&](int type, int code, int value) {
        input_event event{};
        event.type = quint16(type);
        event.code = quint16(code);
        event.value = value;
        ASSERT_EQ(::write(uinput.get(), &event, sizeof event), ssize_t(sizeof event));
    };
    // A key that was not enabled is dropped, and so is its lone SYN_REPORT.
    send(EV_KEY, KEY_D, 1);
    send(EV_SYN, SYN_REPORT, 0);
    // ⌃C, one frame per step.
    for (const auto& [code, value] : {std::pair{KEY_LEFTCTRL, 1}, {KEY_C, 1}, {KEY_C, 0}, {KEY_LEFTCTRL, 0}}) {
        send(EV_KEY, code, value);
        send(EV_SYN, SYN_REPORT, 0);
    }
    for (const auto& [code, value] : {std::pair{KEY_LEFTCTRL, 1}, {KEY_C, 1}, {KEY_C, 0}, {KEY_LEFTCTRL, 0}}) {
        const auto frame = readInputFrame(reader.get());
        ASSERT_TRUE(frame);
        EXPECT_EQ(*frame, (std::vector<InputEvent>{{EV_KEY, quint16(code), value}, {EV_SYN, SYN_REPORT, 0}}));
    }
    EXPECT_EQ(::ioctl(uinput.get(), UI_DEV_DESTROY), 0);
}
