// The HID inspector: its sample list model, its controller over the test
// application model, and the window driven through its widgets.

#include "ui/devices/HIDInspectorController.h"
#include "platform/Text.h"
#include "ui/devices/HIDSampleListModel.h"
#include "ui/devices/widgets/HIDInspectorView.h"
#include "ui/shared/widgets/SheetHost.h"
#include "ui/shared/widgets/ThemeStyle.h"

#include "input/IgnoreListStorage.h"
#include "support/AppModelFixture.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace velmor;
using namespace velmor::test;

namespace {

constexpr std::int64_t razer = 0x1532, tartarus = 0x022B, philips = 0x0911, speechMike = 0x0C1C;

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

QList<RawHIDSample> makeSamples(int count)
{
    QList<RawHIDSample> samples;
    for (int n = 0; n < count; ++n)
        samples.append(sample(0, 0, n, n));
    return samples;
}

QList<QUuid> ids(const QList<RawHIDSample>& samples)
{
    QList<QUuid> result;
    for (const auto& sample : samples)
        result.append(sample.id);
    return result;
}

class HIDSampleListModelTest : public ::testing::Test {
protected:
    HIDSampleListModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    QSignalSpy inserted{&model, &QAbstractItemModel::rowsInserted};
    QSignalSpy removed{&model, &QAbstractItemModel::rowsRemoved};
    QSignalSpy resets{&model, &QAbstractItemModel::modelReset};
};

TEST_F(HIDSampleListModelTest, AStreamingWindowMovesRowByRowAndKeepsTheSelectedRow)
{
    const QList<RawHIDSample> feed = makeSamples(600);
    model.setSamples(feed.mid(0, 200));
    const QPersistentModelIndex selected = model.index(150);
    ASSERT_EQ(inserted.size(), 1);

    for (int newest = 201; newest <= 300; ++newest) {
        model.setSamples(feed.mid(newest - 200, 200));
        ASSERT_EQ(ids(model.samples()), ids(feed.mid(newest - 200, 200)));
    }
    EXPECT_EQ(resets.size(), 0);
    EXPECT_EQ(inserted.size(), 101) << "one insertion per new sample";
    EXPECT_EQ(removed.size(), 100) << "one removal per sample that left";
    ASSERT_TRUE(selected.isValid());
    EXPECT_EQ(selected.row(), 50);
    EXPECT_EQ(selected.data(HIDSampleListModel::IdRole).toUuid(), feed[150].id);
    EXPECT_EQ(model.rowOf(feed[150].id), 50);
    EXPECT_EQ(selected.data().toString(), "Page 0x09 Usage 0x0096");
    EXPECT_EQ(selected.data(HIDSampleListModel::ValueRole).toString(), "Value 150");

    // A burst (several samples in one refresh) is one removal and one insertion.
    model.setSamples(feed.mid(150, 200));
    EXPECT_EQ(inserted.size(), 102);
    EXPECT_EQ(removed.size(), 101);
    EXPECT_EQ(selected.row(), 0);
    model.setSamples(feed.mid(160, 200));
    EXPECT_FALSE(selected.isValid()) << "the row left with its sample";
    EXPECT_EQ(model.rowOf(feed[150].id), std::nullopt);
}

TEST_F(HIDSampleListModelTest, FilterChangesRemoveAndInsertInPlaceAndOnlyDisorderResets)
{
    QList<RawHIDSample> feed = makeSamples(10);
    model.setSamples(feed);
    QList<RawHIDSample> odd;
    for (int n = 1; n < 10; n += 2)
        odd.append(feed[n]);
    model.setSamples(odd);
    EXPECT_EQ(ids(model.samples()), ids(odd));
    EXPECT_EQ(removed.size(), 5) << "five separate runs";
    model.setSamples(feed);
    EXPECT_EQ(ids(model.samples()), ids(feed));
    EXPECT_EQ(inserted.size(), 1 + 5);
    const int signalsBefore = static_cast<int>(inserted.size() + removed.size());
    model.setSamples(feed);
    EXPECT_EQ(inserted.size() + removed.size(), signalsBefore) << "an unchanged list signals nothing";

    model.setSamples({});
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(resets.size(), 0);

    // A reordered or repeated list starts over.
    feed = makeSamples(4);
    model.setSamples(feed);
    std::swap(feed[1], feed[2]);
    model.setSamples(feed);
    EXPECT_EQ(ids(model.samples()), ids(feed));
    EXPECT_EQ(resets.size(), 1);
    feed.append(feed[0]);
    model.setSamples(feed);
    EXPECT_EQ(ids(model.samples()), ids(feed));
    model.setSamples(feed.mid(0, 4));
    EXPECT_EQ(ids(model.samples()), ids(feed.mid(0, 4)));
}

class HIDInspectorControllerTest : public AppModelFixture {
protected:
    HIDInspectorControllerTest()
    {
        start();
        inspector = std::make_unique<HIDInspectorController>(*model);
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

TEST_F(HIDInspectorControllerTest, TheListShowsTheNewestTwoHundredOfTheFilterAtMostOncePerInterval)
{
    int refreshes = 0;
    const auto subscription = inspector->state().subscribe([&](const auto&) { ++refreshes; });
    refreshes = 0;
    model->appendHIDSample(sample(razer, tartarus, 1));
    queue->runUntilIdle();
    EXPECT_EQ(state().events.size(), 1) << "the first sample after a quiet spell shows on the next turn";
    EXPECT_EQ(refreshes, 1);

    const QList<RawHIDSample> keypad = feed(1000); // one second at 1 kHz
    EXPECT_LE(refreshes, 1 + 1000 / 50 + 1);
    EXPECT_GE(refreshes, 1000 / 50);
    ASSERT_EQ(state().events.size(), 200);
    EXPECT_EQ(state().events.first().id, keypad[800].id);
    EXPECT_EQ(state().events.last().id, keypad[999].id);
    inspector->copyEventLog();
    const QStringList copied = QGuiApplication::clipboard()->text().split('\n');
    ASSERT_EQ(copied.size(), 200);
    EXPECT_TRUE(copied.first().contains(" usage:0x0320 ")) << copied.first().toStdString();
    EXPECT_TRUE(copied.last().contains(" usage:0x03E7 "));

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
    EXPECT_EQ(state().events.first().id, keypad[800].id);

    // "All" ends the filter while the switch stays on.
    inspector->selectDevice(std::nullopt);
    EXPECT_TRUE(state().captureOnlySelected);
    EXPECT_FALSE(state().selectedDevice);
    EXPECT_EQ(state().events.last().id, mike.last().id);

    // Copy takes the feed as it is now, even inside an interval.
    model->appendHIDSample(sample(razer, tartarus, 4242));
    model->appendHIDSample(sample(razer, tartarus, 4243));
    queue->runUntilIdle();
    inspector->copyEventLog();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().endsWith(" usage:0x1093 usageKey:0x00091093 value:1 device:unknown"));

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
    QList<RawHIDSample> first = feed(1);
    inspector->selectEvent(QUuid::createUuid());
    EXPECT_FALSE(state().selectedEvent) << "an unknown id selects nothing, even beside a lone sample";
    first += feed(9);
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

    model->clearHIDEvents();
    settle();
    inspector->setCustomLabel(QStringLiteral("  K07\t\n"));
    EXPECT_TRUE(state().canSaveMapping);
    inspector->saveMapping();
    const VendorProduct pair{razer, tartarus};
    EXPECT_EQ(model->customUsageMap().value(pair).value(0x00090003), "K07") << "trimmed, line breaks too";
    EXPECT_EQ(state().selectedEvent, first[4]) << "the event stays selected";
}

// The mock device stands in for hardware: nothing to release, so nothing of it
// reaches the ignore list, and it stays listed and selected.
TEST_F(HIDInspectorControllerTest, TheMockDeviceCannotBeIgnored)
{
    queue->runUntilIdle();
    ASSERT_EQ(state().devices.size(), 1);
    const ConnectedDeviceInfo mock = state().devices.first();
    ASSERT_EQ(mock.productName, "Mock Input");
    inspector->selectDevice(mock.id());
    EXPECT_FALSE(state().canIgnoreSelected);
    inspector->toggleIgnore(mock.id());
    inspector->toggleSelectedDeviceIgnore();
    queue->runUntilIdle();
    EXPECT_EQ(state().devices, QList<ConnectedDeviceInfo>{mock});
    EXPECT_EQ(state().selectedDevice, mock);
    EXPECT_FALSE(IgnoreListStorage::load().value_or(QSet<VendorProduct>{}).contains(VendorProduct{0, 0}));
    EXPECT_TRUE(logMessages().filter("control disabled").isEmpty());

    hid.plug(razer, tartarus, QStringLiteral("Razer Tartarus"));
    queue->runUntilIdle();
    inspector->selectDevice(listed(tartarus)->id());
    EXPECT_TRUE(state().canIgnoreSelected) << "hardware can be";
}

TEST_F(HIDInspectorControllerTest, IgnoreAndTakeBackUseTheDevicesCurrentEntry)
{
    hid.plug(razer, tartarus, QStringLiteral("Razer Tartarus"));
    hid.plug(philips, speechMike, QStringLiteral("SpeechMike")); // left to other applications on a fresh install
    queue->runUntilIdle();
    ASSERT_EQ(state().devices.size(), 2);
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

    // An unknown id does nothing, not even to the selection; selecting it keeps the selection.
    inspector->toggleIgnore(QStringLiteral("1-2-nothing"));
    queue->runUntilIdle();
    EXPECT_EQ(logMessages().filter("control disabled").size(), 2) << "the SpeechMike at start, the keypad once";
    EXPECT_EQ(logMessages().filter("control enabled").size(), 1);
    inspector->selectDevice(QStringLiteral("1-2-nothing"));
    EXPECT_EQ(state().selectedDevice->productId, tartarus);
}

// The window over the same feed, both devices plugged in.
class HIDInspectorViewTest : public HIDInspectorControllerTest {
protected:
    HIDInspectorViewTest()
    {
        hid.plug(razer, tartarus, QStringLiteral("Razer Tartarus"));
        hid.plug(philips, speechMike, QStringLiteral("SpeechMike"));
        queue->runUntilIdle();
        view = std::make_unique<HIDInspectorView>(*model);
        view->onClose = [this] { ++closes; };
        view->resize(900, 640);
        view->show();
    }
    template <typename T>
    T* find(const char* name)
    {
        T* widget = view->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QUuid currentId() { return find<QListView>("eventList")->currentIndex().data(HIDSampleListModel::IdRole).toUuid(); }

    std::unique_ptr<HIDInspectorView> view;
    int closes = 0;
};

TEST_F(HIDInspectorViewTest, PickingAnEventKeepsItSelectedWhileSamplesStreamAndNamesItsUsage)
{
    feed(30);
    auto* list = find<QListView>("eventList");
    ASSERT_EQ(list->model()->rowCount(), 30);
    const QModelIndex row = list->model()->index(12, 0);
    list->scrollTo(row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
    const QUuid picked = model->hidEvents().get()[12].id;
    ASSERT_EQ(currentId(), picked);
    EXPECT_TRUE(find<QLabel>("selectedEventLine")->text().startsWith("Selected: VID 0x1532 PID 0x022B Page 0x09 "));
    EXPECT_FALSE(find<QPushButton>("saveMappingButton")->isEnabled());

    feed(150); // the list moves on; the row keeps its sample
    EXPECT_EQ(currentId(), picked);
    EXPECT_TRUE(list->selectionModel()->isSelected(list->currentIndex()));
    feed(100); // now it has left the newest 200
    EXPECT_FALSE(list->currentIndex().isValid());

    QTest::keyClicks(find<QLineEdit>("customLabelField"), " K07 ");
    auto* save = find<QPushButton>("saveMappingButton");
    ASSERT_TRUE(save->isEnabled());
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(model->customUsageMap().value(VendorProduct{razer, tartarus}).value(0x0009000C), "K07");
    EXPECT_EQ(find<QLineEdit>("customLabelField")->text(), "");
    EXPECT_FALSE(save->isEnabled());
}

// A long device name is cut in the picker's entry so that its list stays the
// width of a menu, and in the list's row; the mark after the name stays whole.
TEST_F(HIDInspectorViewTest, ALongDeviceNameIsCutInThePickerAndItsMarkKept)
{
    hid.plug(razer, 0x0240, QString(126, u'D'));
    queue->runUntilIdle();
    model->inputSource().hidSource().disableControl(razer, 0x0240);
    queue->runUntilIdle();
    auto* picker = find<QComboBox>("deviceFilter");
    const int index = picker->findText(QChar(0x2068) + QStringLiteral("DDDD"), Qt::MatchStartsWith);
    ASSERT_GE(index, 0);
    const QString entry = picker->itemText(index);
    EXPECT_TRUE(entry.endsWith(QStringLiteral("\u2026\u2069 (ignored)"))) << entry.toStdString();
    EXPECT_LE(picker->fontMetrics().horizontalAdvance(entry), 40 * picker->fontMetrics().averageCharWidth());
    // The list of devices cuts the name in its row rather than scrolling sideways.
    auto* devices = find<QListWidget>("deviceList");
    QGuiApplication::processEvents();
    EXPECT_EQ(devices->horizontalScrollBar()->maximum(), 0);
}

TEST_F(HIDInspectorViewTest, DeviceListPickerIgnoreCopyAndClose)
{
    auto* devices = find<QListWidget>("deviceList");
    auto* picker = find<QComboBox>("deviceFilter");
    auto* ignore = find<QPushButton>("ignoreButton");
    ASSERT_EQ(devices->count(), 2);
    EXPECT_EQ(picker->itemText(2), text::displayName("SpeechMike") + " (ignored)");
    EXPECT_FALSE(ignore->isVisible());

    QTest::mouseClick(devices->viewport(), Qt::LeftButton, {}, devices->visualItemRect(devices->item(1)).center());
    EXPECT_EQ(picker->currentIndex(), 2) << "one selection for the list and the picker";
    ASSERT_TRUE(ignore->isVisible());
    EXPECT_EQ(ignore->text(), "Unignore");
    QTest::mouseClick(ignore, Qt::LeftButton);
    queue->runUntilIdle();
    EXPECT_FALSE(model->connectedDevices().get()[1].ignored);
    EXPECT_EQ(ignore->text(), "Ignore");
    EXPECT_EQ(picker->itemText(2), text::displayName("SpeechMike"));

    picker->activated(0); // "All"
    EXPECT_FALSE(ignore->isVisible());
    EXPECT_EQ(devices->currentRow(), -1);

    feed(2);
    QTest::mouseClick(find<QPushButton>("copyButton"), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text().split('\n').size(), 2);
    QTest::mouseClick(find<QPushButton>("clearButton"), Qt::LeftButton);
    EXPECT_TRUE(model->hidEvents().get().isEmpty());

    QTest::mouseClick(find<QPushButton>("closeButton"), Qt::LeftButton);
    QTest::keyClick(find<QLineEdit>("customLabelField"), Qt::Key_Escape);
    EXPECT_EQ(closes, 2);
}

// At the smallest size, with a device selected, the tool row's controls keep
// their size and spacing: the picker its arrow, nothing overlapping.
TEST_F(HIDInspectorViewTest, AtItsMinimumSizeTheToolRowKeepsItsControlsApart)
{
    EXPECT_GE(view->minimumWidth(), HIDInspectorView::smallestSize.width());
    EXPECT_GE(view->sizeHint().width(), view->minimumWidth());
    view->resize(view->minimumSize());
    auto* picker = find<QComboBox>("deviceFilter");
    auto* ignore = find<QPushButton>("ignoreButton");
    view->controller().selectDevice(model->connectedDevices().get().first().id());
    ignore->setText("Unignore");
    QCoreApplication::processEvents();
    ASSERT_TRUE(ignore->isVisible());
    EXPECT_EQ(picker->width(), 180);
    EXPECT_GE(ignore->width(), ignore->sizeHint().width());
    QLabel* caption = nullptr;
    for (QLabel* label : view->findChildren<QLabel*>())
        if (label->text() == "Filter by device")
            caption = label;
    ASSERT_TRUE(caption);
    EXPECT_GE(caption->width(), caption->sizeHint().width());
    QList<QWidget*> row{find<QPushButton>("clearButton"), find<QPushButton>("copyButton"), caption, picker, ignore};
    for (qsizetype i = 1; i < row.size(); ++i)
        EXPECT_GE(row[i]->geometry().left() - row[i - 1]->geometry().right() - 1, 8) << i;
    EXPECT_LE(ignore->mapTo(view.get(), ignore->rect().bottomRight()).x(), view->width() - 16);
    auto* save = find<QPushButton>("saveMappingButton");
    EXPECT_GE(save->width() - save->fontMetrics().horizontalAdvance(save->text()), 2 * PaddedButton::textPadding)
        << "the text keeps clear of the button's edges";
}

TEST_F(HIDInspectorViewTest, InASheetReturnPressesNothingAndEscapeDismisses)
{
    int dismissed = 0;
    auto* sheet = new HIDInspectorView(*model);
    SheetHost host(sheet, [&] { ++dismissed; }, nullptr);
    host.show();
    feed(1);
    sheet->controller().selectEvent(model->hidEvents().get().first().id);
    auto* field = sheet->findChild<QLineEdit*>("customLabelField");
    QTest::keyClicks(field, "K07");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(model->customUsageMap().isEmpty());
    EXPECT_EQ(dismissed, 0);
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(dismissed, 1);
}

} // namespace
