#include "ui/devices/HIDInspectorController.h"

#include "support/AppModelFixture.h"

#include <QClipboard>
#include <QGuiApplication>

using namespace velmor;
using namespace velmor::test;

namespace {

constexpr std::int64_t razer = 0x1532, tartarus = 0x022B, philips = 0x0911, speechMike = 0x0C1C;

class HIDInspectorControllerTest : public AppModelFixture {
protected:
    HIDInspectorControllerTest()
    {
        start();
        inspector = std::make_unique<HIDInspectorController>(*model);
    }

    RawHIDSample sample(std::int64_t vendor, std::int64_t product, std::int64_t usage, std::int64_t value = 1)
    {
        RawHIDSample raw;
        raw.timestamp = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
        raw.vendorId = vendor;
        raw.productId = product;
        raw.usagePage = 9;
        raw.usage = usage;
        raw.value = value;
        return raw;
    }
    // Appends samples as a busy device does, one a millisecond, and lets the list catch up.
    QList<RawHIDSample> feed(int count, std::int64_t vendor = razer, std::int64_t product = tartarus)
    {
        QList<RawHIDSample> sent;
        for (int n = 0; n < count; ++n) {
            sent.append(sample(vendor, product, n));
            model->appendHIDSample(sent.last());
            queue->advance(std::chrono::milliseconds(1));
        }
        settle();
        return sent;
    }
    void settle() { queue->advance(HIDInspectorController::sampleInterval); }
    const HIDInspectorController::State& state() const { return inspector->state().get(); }
    std::optional<ConnectedDeviceInfo> listed(std::int64_t product) const
    {
        for (const auto& device : state().devices)
            if (device.productId == product)
                return device;
        return std::nullopt;
    }
    static QString fixedTime(const QDateTime& time) { return time.toUTC().toString("HH:mm:ss"); }

    std::unique_ptr<HIDInspectorController> inspector;
};

TEST_F(HIDInspectorControllerTest, TheListShowsTheNewestTwoHundredOfTheFilterAndCopyCopiesThem)
{
    const QList<RawHIDSample> keypad = feed(250);
    ASSERT_EQ(state().events.size(), 200);
    EXPECT_EQ(state().events.first().id, keypad[50].id);
    EXPECT_EQ(state().events.last().id, keypad[249].id);
    inspector->copyEventLog();
    const QStringList copied = QGuiApplication::clipboard()->text().split('\n');
    ASSERT_EQ(copied.size(), 200);
    EXPECT_TRUE(copied.first().contains(" usage:0x0032 ")) << copied.first().toStdString();
    EXPECT_TRUE(copied.last().contains(" usage:0x00F9 "));

    // The switch alone filters nothing; with a device it keeps that vendor and product only.
    hid.plug(razer, tartarus, QStringLiteral("Razer Tartarus"));
    queue->runUntilIdle();
    const QList<RawHIDSample> mike = feed(3, philips, speechMike);
    inspector->setCaptureOnlySelected(true);
    EXPECT_EQ(state().events.size(), 200);
    EXPECT_EQ(state().events.last().id, mike.last().id);
    inspector->selectDevice(listed(tartarus)->id());
    ASSERT_EQ(state().events.size(), 200);
    EXPECT_EQ(state().events.last().id, keypad.last().id);
    EXPECT_EQ(state().events.first().id, keypad[50].id);

    // Only the two ids count: a sample of another unit of the same model passes.
    RawHIDSample twin = sample(razer, tartarus, 7);
    twin.productName = QStringLiteral("Another Tartarus");
    twin.deviceId = std::nullopt;
    model->appendHIDSample(twin);
    settle();
    EXPECT_EQ(state().events.last().id, twin.id);

    // "All" ends the filter while the switch stays on.
    inspector->selectDevice(std::nullopt);
    EXPECT_TRUE(state().captureOnlySelected);
    EXPECT_FALSE(state().selectedDevice);
    EXPECT_EQ(state().events.last().id, twin.id);
    EXPECT_EQ(state().events[198].id, mike.last().id);

    model->clearHIDEvents();
    settle();
    inspector->copyEventLog();
    EXPECT_TRUE(state().events.isEmpty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "");
}

TEST_F(HIDInspectorControllerTest, CopiedLinesHaveTheExactFormat)
{
    RawHIDSample volume = sample(philips, speechMike, 0xE9, -3);
    volume.usagePage = 0x0C;
    volume.deviceId = QStringLiteral("speechmike_smp3700");
    RawHIDSample large = sample(razer, tartarus, 0x1E, std::numeric_limits<std::int64_t>::max());
    large.usagePage = 0x10007; // the page's high bits fall off the key
    model->appendHIDSample(volume);
    model->appendHIDSample(large);
    settle();
    EXPECT_EQ(inspector->eventLog(&fixedTime),
              "22:13:20 vid:0x0911 pid:0x0C1C page:0x000C usage:0x00E9 usageKey:0x000C00E9 value:-3 device:speechmike_smp3700\n"
              "22:13:20 vid:0x1532 pid:0x022B page:0x10007 usage:0x001E usageKey:0x0007001E value:9223372036854775807 "
              "device:unknown");
    EXPECT_EQ(hidtext::sampleUsage(volume), "Page 0x0C Usage 0x00E9");
    EXPECT_EQ(hidtext::sampleValue(large), "Value 9223372036854775807");
    inspector->selectEvent(large.id);
    EXPECT_EQ(state().selectedEventText,
              "Selected: VID 0x1532 PID 0x022B Page 0x10007 Usage 0x001E Value 9223372036854775807");
    ConnectedDeviceInfo device;
    device.vendorId = 0x45E;
    device.productId = 0xBEEF;
    EXPECT_EQ(hidtext::deviceIds(device), "VID 0x045E PID 0xBEEF");
    EXPECT_EQ(hidtext::deviceName(device), "Unknown");
}

TEST_F(HIDInspectorControllerTest, SelectedEventIsKeptByIdWhileSamplesStreamAndAfterItLeaves)
{
    const QList<RawHIDSample> first = feed(10);
    inspector->setCustomLabel(QStringLiteral("REC"));
    EXPECT_FALSE(state().canSaveMapping) << "nothing selected";
    EXPECT_EQ(state().selectedEventText, "Select an event above to map it.");
    inspector->saveMapping();
    inspector->selectEvent(first[4].id);
    inspector->setCustomLabel(QStringLiteral(" \n\t "));
    EXPECT_FALSE(state().canSaveMapping) << "a blank label";
    inspector->saveMapping();
    EXPECT_TRUE(model->customUsageMap().isEmpty());
    EXPECT_EQ(state().selectedEvent, first[4]);
    inspector->selectEvent(QUuid::createUuid());
    EXPECT_EQ(state().selectedEvent, first[4]) << "an unknown id changes nothing";

    feed(1000); // a second of a busy device
    EXPECT_EQ(state().selectedEvent, first[4]);
    EXPECT_EQ(model->hidEvents().get().size(), 400);

    model->clearHIDEvents();
    settle();
    EXPECT_TRUE(state().events.isEmpty());
    inspector->setCustomLabel(QStringLiteral("  K07\t\n"));
    EXPECT_TRUE(state().canSaveMapping);
    inspector->saveMapping();
    const VendorProduct pair{razer, tartarus};
    EXPECT_EQ(model->customUsageMap().value(pair).value(0x00090004), "K07") << "trimmed, line breaks too";
    EXPECT_EQ(state().customLabel, "");
    EXPECT_FALSE(state().canSaveMapping);
    EXPECT_EQ(state().selectedEvent, first[4]) << "the event stays selected";
}

TEST_F(HIDInspectorControllerTest, ABusyFeedRefreshesTheListAtMostOncePerIntervalAndAQuietOneAtOnce)
{
    int refreshes = 0;
    const auto subscription = inspector->state().subscribe([&](const auto&) { ++refreshes; });
    refreshes = 0;
    const QList<RawHIDSample> first = {sample(razer, tartarus, 1)};
    model->appendHIDSample(first[0]);
    queue->runUntilIdle();
    EXPECT_EQ(state().events.size(), 1) << "the first sample after a quiet spell shows on the next turn";
    EXPECT_EQ(refreshes, 1);

    feed(1000); // one second at 1 kHz
    EXPECT_EQ(state().events.size(), 200);
    EXPECT_EQ(state().events.last().usage, 999);
    EXPECT_LE(refreshes, 1 + 1000 / 50 + 1);
    EXPECT_GE(refreshes, 1000 / 50);

    // Copy takes the feed as it is now, even inside an interval.
    model->appendHIDSample(sample(razer, tartarus, 4242));
    model->appendHIDSample(sample(razer, tartarus, 4243));
    queue->runUntilIdle();
    inspector->copyEventLog();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().endsWith(" usage:0x1093 usageKey:0x00091093 value:1 device:unknown"));
}

TEST_F(HIDInspectorControllerTest, IgnoreAndTakeBackUseTheDevicesCurrentEntry)
{
    hid.plug(razer, tartarus, QStringLiteral("Razer Tartarus"));
    hid.plug(philips, speechMike, QStringLiteral("SpeechMike")); // left to other applications on a fresh install
    queue->runUntilIdle();
    ASSERT_EQ(state().devices.size(), 2);
    EXPECT_TRUE(listed(speechMike)->ignored);
    inspector->selectDevice(listed(tartarus)->id());
    const ConnectedDeviceInfo selectedWhenFree = *state().selectedDevice;

    inspector->toggleIgnore(selectedWhenFree.id());
    queue->runUntilIdle();
    EXPECT_TRUE(listed(tartarus)->ignored);
    EXPECT_TRUE(state().selectedDevice->ignored) << "the selection follows the current entry";

    // The tool row's button on the selection: takes it back, not releases it again.
    inspector->toggleSelectedDeviceIgnore();
    queue->runUntilIdle();
    EXPECT_FALSE(listed(tartarus)->ignored);

    inspector->toggleIgnore(listed(speechMike)->id());
    queue->runUntilIdle();
    EXPECT_FALSE(listed(speechMike)->ignored);
    EXPECT_EQ(logMessages().filter("control disabled").size(), 2) << "the SpeechMike at start, the keypad once";
    EXPECT_EQ(logMessages().filter("control enabled").size(), 2);

    // An unknown id does nothing; a device that is gone stays selected with its last entry.
    inspector->toggleIgnore(QStringLiteral("1-2-nothing"));
    inspector->selectDevice(QStringLiteral("1-2-nothing"));
    EXPECT_EQ(state().selectedDevice->productId, tartarus);
}

} // namespace
