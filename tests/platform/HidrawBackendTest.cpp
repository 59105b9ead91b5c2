// The Linux HID backend without a kernel: sysfs read from a fake tree in a
// temporary folder, properties and elements from report descriptors, and
// decoded reports routed to the manager, the device's callbacks and its queues.
// The kernel tests run the same code against real hidraw and evdev nodes.

#include "platform/hid/Queue.h"
#include "platform/hid/linux/EvdevGrab.h"
#include "platform/hid/linux/HidrawDevice.h"
#include "platform/hid/linux/HidrawNode.h"
#include "platform/hid/linux/HidrawReader.h"
#include "support/HidDescriptors.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

using namespace velmor::hid;
using velmor::test::hid::bytes;
using velmor::test::writeFile;
namespace descriptors = velmor::test::hid;

namespace {

// A sysfs-shaped tree: a USB keypad interface with a hidraw node and two input
// devices, and a virtual (uhid-like) device without a USB parent.
class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        usbDevice = makeDir(QStringLiteral("devices/pci0000:00/usb1/1-1"));
        writeFile(usbDevice + QStringLiteral("/idVendor"), "1532\n");
        writeFile(usbDevice + QStringLiteral("/product"), "Keypad Pro\n");
        keypad = addHidDevice(usbDevice + QStringLiteral("/1-1:1.0/0003:1532:0244.0001"),
                              "HID_ID=0003:00001532:00000244\nHID_NAME=Acme Acme Keypad Pro\n", 0);
        makeDir(keypad + QStringLiteral("/input/input5/event3"));
        writeFile(keypad + QStringLiteral("/input/input5/event3/uevent"), "MAJOR=13\nDEVNAME=input/velmor-missing-event3\n");
        makeDir(keypad + QStringLiteral("/input/input6/event7")); // no uevent: named after its folder
        writeFile(keypad + QStringLiteral("/report_descriptor"), descriptors::keypad());
    }

    QString makeDir(const QString& relativeOrAbsolute)
    {
        const QString path = QDir::isAbsolutePath(relativeOrAbsolute) ? relativeOrAbsolute : root.filePath(relativeOrAbsolute);
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }

    // A HID device folder with its uevent and hidraw child; returns the HID device.
    QString addHidDevice(const QString& path, const QByteArray& uevent, int hidraw)
    {
        EXPECT_TRUE(QDir().mkpath(path));
        writeFile(path + QStringLiteral("/uevent"), uevent);
        const QString node = hidrawSyspath(path, hidraw);
        EXPECT_TRUE(QDir().mkpath(node));
        EXPECT_TRUE(QFile::link(QStringLiteral("../.."), node + QStringLiteral("/device")));
        return path;
    }

    static QString hidrawSyspath(const QString& hidDevice, int number)
    {
        return hidDevice + QStringLiteral("/hidraw/hidraw%1").arg(number);
    }

    QTemporaryDir root;
    QString usbDevice;
    QString keypad;
};

HidrawNode nodeWith(std::int64_t vendor, std::int64_t product, const QString& devnode = QStringLiteral("/nonexistent/hidraw9"))
{
    HidrawNode node;
    node.devnode = devnode;
    node.vendorId = vendor;
    node.productId = product;
    node.product = QStringLiteral("Test device");
    return node;
}

// "page:usage=value" per value, usages in hexadecimal.
QString describe(const QList<Value>& values)
{
    QStringList parts;
    for (const Value& v : values)
        parts << QStringLiteral("%1:%2=%3").arg(v.element.usagePage, 0, 16).arg(v.element.usage, 0, 16).arg(v.integerValue);
    return parts.join(QLatin1Char(' '));
}

const QByteArray shiftA = bytes({0x02, 0x00, 0x04, 0, 0, 0, 0, 0});
const QByteArray noKeys = bytes({0, 0, 0, 0, 0, 0, 0, 0});

} // namespace

// ---------------------------------------------------------------- sysfs

TEST_F(FakeSysfs, NodeTakesIdsFromTheHidDeviceAndTheNameFromUsb)
{
    const auto node = HidrawNode::fromSysfs(hidrawSyspath(keypad, 0), QStringLiteral("/dev/hidraw0"));
    ASSERT_TRUE(node);
    EXPECT_EQ(node->hidSyspath, QDir(keypad).canonicalPath());
    EXPECT_EQ(node->devnode, QStringLiteral("/dev/hidraw0"));
    EXPECT_EQ(node->vendorId, 0x1532);
    EXPECT_EQ(node->productId, 0x0244);
    // The USB product string, not the kernel's "maker product" name.
    EXPECT_EQ(node->product, QStringLiteral("Keypad Pro"));
    EXPECT_EQ(node->evdevNodes(QStringLiteral("/devroot")),
              (QStringList{QStringLiteral("/devroot/input/velmor-missing-event3"), QStringLiteral("/devroot/input/event7")}));
    EXPECT_EQ(node->sysfsReportDescriptor(), descriptors::keypad());
}

TEST_F(FakeSysfs, NodeWithoutUsbParentOrUsableIdsFallsBackOrIsNoDevice)
{
    const QString virtualDevice = addHidDevice(root.filePath(QStringLiteral("devices/virtual/misc/uhid/0003:0911:0C1C.0002")),
                                               "HID_ID=0003:00000911:00000C1C\nHID_NAME=Dictation mic\n", 1);
    const auto node = HidrawNode::fromSysfs(hidrawSyspath(virtualDevice, 1), QStringLiteral("/dev/hidraw1"));
    ASSERT_TRUE(node);
    EXPECT_EQ(node->vendorId, 0x0911);
    EXPECT_EQ(node->productId, 0x0C1C);
    EXPECT_EQ(node->product, QStringLiteral("Dictation mic"));
    EXPECT_TRUE(node->evdevNodes().isEmpty());
    EXPECT_TRUE(node->sysfsReportDescriptor().isEmpty());

    const QString nameless = addHidDevice(root.filePath(QStringLiteral("devices/virtual/misc/uhid/0003:0001:0002.0003")),
                                          "HID_ID=0003:00000001:00000002\n", 2);
    EXPECT_EQ(HidrawNode::fromSysfs(hidrawSyspath(nameless, 2), QStringLiteral("/dev/hidraw2"))->product, std::nullopt);

    const QString malformed = addHidDevice(root.filePath(QStringLiteral("devices/virtual/x/0003:0001:0002.0004")),
                                           "HID_ID=0003:zz:00000002\n", 3);
    EXPECT_FALSE(HidrawNode::fromSysfs(hidrawSyspath(malformed, 3), QStringLiteral("/dev/hidraw3")));
    const QString idless = addHidDevice(root.filePath(QStringLiteral("devices/virtual/x/0003:0001:0002.0005")),
                                        "HID_NAME=No ids\n", 4);
    EXPECT_FALSE(HidrawNode::fromSysfs(hidrawSyspath(idless, 4), QStringLiteral("/dev/hidraw4")));
    // A hidraw folder without its device link.
    EXPECT_FALSE(HidrawNode::fromSysfs(makeDir(QStringLiteral("devices/orphan/hidraw/hidraw5")), QStringLiteral("/dev/hidraw5")));
}

TEST_F(FakeSysfs, DescriptorComesFromSysfsWhenTheNodeTakesNoIoctl)
{
    // A plain file in place of the node: HIDIOCGRDESC fails on it.
    const QString devnode = root.filePath(QStringLiteral("hidraw0"));
    writeFile(devnode, "not a device");
    const auto node = HidrawNode::fromSysfs(hidrawSyspath(keypad, 0), devnode);
    ASSERT_TRUE(node);
    const auto device = HidrawDevice::create(*node);
    EXPECT_EQ(device->integerProperty(property::maxFeatureReportSize), 90);
    EXPECT_EQ(device->stringProperty(property::product), QStringLiteral("Keypad Pro"));

    // Open works on the file, but seizing cannot grab an evdev node that is not there;
    // the failed seize leaves the device closed.
    EXPECT_EQ(device->open(OpenOptions::seize), Result::noDevice());
    EXPECT_EQ(device->setFeatureReport(0, QByteArray(90, 0)), Result::notOpen());
    EXPECT_FALSE(device->isSeized());
}

// ---------------------------------------------------------------- descriptor → properties and elements

TEST(HidrawDevice, ReportSizesAndPrimaryUsageComeFromTheDescriptor)
{
    const auto keypad = HidrawDevice::create(nodeWith(0x1532, 0x0244), descriptors::keypad());
    EXPECT_EQ(keypad->integerProperty(property::vendorId), 0x1532);
    EXPECT_EQ(keypad->integerProperty(property::productId), 0x0244);
    EXPECT_EQ(keypad->integerProperty(property::maxInputReportSize), 8);
    EXPECT_EQ(keypad->integerProperty(property::maxFeatureReportSize), 90);
    EXPECT_EQ(keypad->integerProperty(property::primaryUsagePage), 0x01);
    EXPECT_EQ(keypad->integerProperty(property::primaryUsage), 0x06);

    // Numbered reports count their id byte.
    const auto dictation = HidrawDevice::create(nodeWith(0x0911, 0x0C1C), descriptors::dictationVendor());
    EXPECT_EQ(dictation->integerProperty(property::maxInputReportSize), 9);
    EXPECT_EQ(dictation->integerProperty(property::maxFeatureReportSize), 91);
    EXPECT_EQ(dictation->integerProperty(property::primaryUsagePage), 0xFFA1);
    EXPECT_EQ(dictation->integerProperty(property::primaryUsage), 0x01);

    // A descriptor that does not parse: the ids stay, sizes and elements do not.
    const auto broken = HidrawDevice::create(nodeWith(0x1532, 0x0244), bytes({0x05, 0x01, 0xA1}));
    EXPECT_EQ(broken->integerProperty(property::vendorId), 0x1532);
    EXPECT_EQ(broken->integerProperty(property::maxFeatureReportSize), std::nullopt);
    EXPECT_EQ(broken->integerProperty(property::primaryUsage), std::nullopt);
    EXPECT_EQ(broken->copyElements(), std::nullopt);
    broken->deliverReport(shiftA); // nothing to decode it with, nothing breaks
}

TEST(HidrawDevice, ElementsCarryTypeUsageAndArrayRole)
{
    const auto keypad = HidrawDevice::create(nodeWith(0x1532, 0x0244), descriptors::keypad());
    const QList<Element> elements = keypad->copyElements().value();
    auto find = [&](std::uint32_t page, std::uint32_t usage, ElementType type) {
        return std::count_if(elements.begin(), elements.end(), [&](const Element& e) {
            return e.usagePage == page && e.usage == usage && e.type == type;
        });
    };
    EXPECT_EQ(find(0x07, 0xE1, ElementType::inputButton), 2);       // left shift: its bit, and the array's usage
    EXPECT_EQ(find(0x07, 0xFFFFFFFF, ElementType::inputMisc), 6);   // the six key slots
    EXPECT_EQ(find(0x07, 0x04, ElementType::inputButton), 1);       // A, selected by a slot
    EXPECT_EQ(find(0x08, 0x01, ElementType::output), 1);            // an LED
    EXPECT_EQ(find(0xFF00, 0x02, ElementType::feature), 1);         // the 90-byte report
    EXPECT_TRUE(std::find_if(elements.begin(), elements.end(), [](const Element& e) { return e.usage == 0xFFFFFFFF; })->isArray);

    const QList<Element> mouse = HidrawDevice::create(nodeWith(1, 2), descriptors::wheelMouse())->copyElements().value();
    EXPECT_TRUE(std::any_of(mouse.begin(), mouse.end(), [](const Element& e) {
        return e.usagePage == 1 && e.usage == 0x38 && e.type == ElementType::inputAxis && !e.isArray;
    }));
}

// ---------------------------------------------------------------- reports → values

TEST(HidrawDevice, ReportsReachTheManagerAlwaysAndTheDeviceCallbacksWhileScheduled)
{
    const auto keypad = HidrawDevice::create(nodeWith(0x1532, 0x0244), descriptors::keypad());
    QList<Value> routed;
    QList<Value> fromCallback;
    QList<std::pair<std::uint32_t, QByteArray>> reports;
    keypad->setValueRoute([&](const Value& value) { routed.append(value); });
    keypad->setInputValueCallback([&](Result result, const Value& value) {
        EXPECT_TRUE(result.isSuccess());
        fromCallback.append(value);
    });
    keypad->setInputReportCallback(4, [&](Result, ReportType type, std::uint32_t id, const QByteArray& report) {
        EXPECT_EQ(type, ReportType::input);
        reports.append({id, report});
    });

    keypad->deliverReport(shiftA);
    EXPECT_EQ(describe(routed), "7:e1=1 7:ffffffff=4 7:4=1");
    EXPECT_TRUE(fromCallback.isEmpty());
    EXPECT_TRUE(reports.isEmpty());
    ASSERT_FALSE(routed.isEmpty());
    EXPECT_EQ(routed.first().device.get(), keypad.get());

    keypad->scheduleWithMainLoop();
    routed.clear();
    keypad->deliverReport(noKeys);
    EXPECT_EQ(describe(routed), "7:e1=0 7:ffffffff=0 7:4=0");
    EXPECT_EQ(describe(fromCallback), describe(routed));
    // Cut to the registered buffer length; no report ids here, so id 0.
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports[0], std::make_pair(0u, bytes({0, 0, 0, 0})));

    // A repeated report changes no value, but is still a report.
    keypad->deliverReport(noKeys);
    EXPECT_EQ(fromCallback.size(), 3);
    EXPECT_EQ(reports.size(), 2);

    keypad->unscheduleFromMainLoop();
    keypad->deliverReport(shiftA);
    EXPECT_EQ(fromCallback.size(), 3);
    EXPECT_EQ(routed.size(), 6);
}

TEST(HidrawDevice, NumberedReportsKeepTheirIdAndWideFieldsTheirTopBit)
{
    const auto dictation = HidrawDevice::create(nodeWith(0x0911, 0x0C1C), descriptors::dictationVendor());
    QList<Value> values;
    std::uint32_t reportId = 0;
    dictation->setValueRoute([&](const Value& value) { values.append(value); });
    dictation->setInputReportCallback(64, [&](Result, ReportType, std::uint32_t id, const QByteArray&) { reportId = id; });
    dictation->scheduleWithMainLoop();
    // Report 1: the 64-bit status word, lowest byte first; bit 63 makes it negative.
    dictation->deliverReport(bytes({0x01, 0, 0, 0, 0, 0, 0, 0, 0x80}));
    ASSERT_EQ(values.size(), 1);
    EXPECT_EQ(values[0].element.usage, 0x03u);
    EXPECT_EQ(values[0].integerValue, std::int64_t(0x8000000000000000ull));
    EXPECT_EQ(reportId, 1u);
    dictation->deliverReport(bytes({0x07, 1, 2, 3})); // no such report
    EXPECT_EQ(values.size(), 1);

    // Ids only on the feature report: input reports carry none and are one byte.
    const auto featureNumbered = HidrawDevice::create(nodeWith(1, 2), bytes({
        0x05, 0x09, 0x09, 0x01, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02, 0x75, 0x07, 0x81, 0x03,
        0x85, 0x01, 0x09, 0x02, 0x75, 0x08, 0x95, 0x01, 0xB1, 0x02,
    }));
    EXPECT_EQ(featureNumbered->integerProperty(property::maxInputReportSize), 1);
    EXPECT_EQ(featureNumbered->integerProperty(property::maxFeatureReportSize), 2);
    values.clear();
    reportId = 9;
    featureNumbered->setValueRoute([&](const Value& value) { values.append(value); });
    featureNumbered->setInputReportCallback(64, [&](Result, ReportType, std::uint32_t id, const QByteArray&) { reportId = id; });
    featureNumbered->scheduleWithMainLoop();
    featureNumbered->deliverReport(bytes({0x01}));
    ASSERT_EQ(values.size(), 1);
    EXPECT_EQ(values[0].element.usagePage, 0x09u);
    EXPECT_EQ(values[0].element.usage, 0x01u);
    EXPECT_EQ(values[0].integerValue, 1);
    EXPECT_EQ(reportId, 0u);

}

TEST(HidrawDevice, QueueKeepsItsElementsValuesWhileStartedUpToItsDepth)
{
    const auto keypad = HidrawDevice::create(nodeWith(0x1532, 0x0244), descriptors::keypad());
    EXPECT_EQ(keypad->createQueue(0), nullptr);
    std::unique_ptr<Queue> queue = keypad->createQueue(2);
    ASSERT_NE(queue, nullptr);
    const QList<Element> elements = keypad->copyElements().value();
    for (const Element& element : elements)
        if (element.usagePage == 0x07 && element.usage != 0xE1) // everything but left shift
            queue->addElement(element);
    int available = 0;
    queue->setValueAvailableCallback([&](Result) { ++available; });

    keypad->deliverReport(shiftA); // not started: nothing kept
    EXPECT_EQ(queue->copyNextValue(), std::nullopt);

    queue->start();
    keypad->deliverReport(noKeys); // slot 0 and A leave
    EXPECT_EQ(available, 0);       // kept, but not scheduled: no callback
    queue->scheduleWithMainLoop();
    keypad->deliverReport(bytes({0, 0, 0x05, 0, 0, 0, 0, 0})); // full: B's values are dropped
    EXPECT_EQ(available, 2);
    QList<Value> drained;
    while (const auto value = queue->copyNextValue())
        drained.append(*value);
    EXPECT_EQ(describe(drained), "7:ffffffff=0 7:4=0");

    queue->stop();
    keypad->deliverReport(noKeys);
    EXPECT_EQ(queue->copyNextValue(), std::nullopt);
}

TEST(HidrawDevice, DetachedDeviceAnswersNoDeviceAndDeliversNothing)
{
    const auto keypad = HidrawDevice::create(nodeWith(0x1532, 0x0244), descriptors::keypad());
    // Not open: feature reports are refused; a bad id never reaches the node.
    EXPECT_EQ(keypad->setFeatureReport(0, QByteArray(90, 0)), Result::notOpen());
    EXPECT_EQ(keypad->setFeatureReport(256, QByteArray(90, 0)), Result::badArgument());
    EXPECT_EQ(keypad->close(OpenOptions::none), Result::notOpen());
    // The node does not exist.
    EXPECT_EQ(keypad->open(OpenOptions::none), Result::noDevice());

    int routed = 0;
    keypad->setValueRoute([&](const Value&) { ++routed; });
    keypad->detach();
    EXPECT_FALSE(keypad->isAttached());
    keypad->deliverReport(shiftA);
    EXPECT_EQ(routed, 0);
    EXPECT_EQ(keypad->open(OpenOptions::seize), Result::noDevice());
    EXPECT_EQ(keypad->close(OpenOptions::seize), Result::noDevice());
    EXPECT_EQ(keypad->setFeatureReport(0, QByteArray(90, 0)), Result::noDevice());
    EXPECT_EQ(keypad->copyElements(), std::nullopt);
    EXPECT_EQ(keypad->createQueue(4), nullptr);
    // Properties outlive the device, for the removal callback to read.
    EXPECT_EQ(keypad->integerProperty(property::productId), 0x0244);
}

// ---------------------------------------------------------------- reader and grab

TEST(HidrawReader, ReadsEachReportWholeAndStopsAtTheEnd)
{
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends), 0);
    velmor::UniqueFd peer(ends[1]);
    QList<QByteArray> reports;
    int gone = 0;
    HidrawReader reader(velmor::UniqueFd{ends[0]}, [&](const QByteArray& report) { reports.append(report); },
                        [&] { ++gone; });
    ASSERT_EQ(::write(peer.get(), shiftA.constData(), size_t(shiftA.size())), shiftA.size());
    ASSERT_EQ(::write(peer.get(), "\x01\x02", 2), 2);
    // One report a turn; the notifier brings the reader back while more wait.
    reader.readAvailable();
    EXPECT_EQ(reports, QList<QByteArray>{shiftA});
    for (int turn = 0; turn < 8 && reports.size() < 2; ++turn)
        QCoreApplication::processEvents();
    EXPECT_EQ(reports, (QList<QByteArray>{shiftA, bytes({1, 2})}));
    reader.readAvailable(); // nothing waiting
    QCoreApplication::processEvents();
    EXPECT_EQ(reports.size(), 2);
    EXPECT_FALSE(reader.isStopped());
    // An end of file is no removal, but reading stops (it would repeat forever).
    peer.reset();
    reader.readAvailable();
    EXPECT_TRUE(reader.isStopped());
    EXPECT_EQ(gone, 0);

}

TEST(EvdevGrab, FailsWithoutHoldingAnythingWhenANodeCannotBeOpened)
{
    QTemporaryDir dir;
    EvdevGrab grab;
    EXPECT_EQ(grab.grab({dir.filePath(QStringLiteral("event0"))}, std::chrono::milliseconds(0)), Result::noDevice());
    EXPECT_FALSE(grab.isHeld());
    // A node that opens but is no evdev node: the grab ioctl is refused.
    writeFile(dir.filePath(QStringLiteral("event1")), "");
    EXPECT_EQ(grab.grab({dir.filePath(QStringLiteral("event1"))}, std::chrono::milliseconds(0)), Result::unsupported());
    EXPECT_FALSE(grab.isHeld());
}
