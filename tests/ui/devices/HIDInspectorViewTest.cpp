#include "ui/devices/widgets/HIDInspectorView.h"
#include "ui/shared/widgets/SheetHost.h"

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
#include <QSignalSpy>
#include <QTest>

using namespace velmor;
using namespace velmor::test;

namespace {

class HIDInspectorViewTest : public AppModelFixture {
protected:
    HIDInspectorViewTest()
    {
        start();
        hid.plug(0x1532, 0x022B, QStringLiteral("Razer Tartarus"));
        hid.plug(0x0911, 0x0C1C, QStringLiteral("SpeechMike"));
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
    void feed(int count)
    {
        for (int n = 0; n < count; ++n) {
            RawHIDSample sample;
            sample.vendorId = 0x1532;
            sample.productId = 0x022B;
            sample.usagePage = 7;
            sample.usage = 0x1E + n % 20;
            sample.value = n % 2;
            sample.timestamp = QDateTime::currentDateTimeUtc();
            model->appendHIDSample(sample);
            queue->advance(std::chrono::milliseconds(1));
        }
        queue->advance(HIDInspectorController::sampleInterval);
    }
    QUuid currentId() { return find<QListView>("eventList")->currentIndex().data(HIDSampleListModel::IdRole).toUuid(); }

    std::unique_ptr<HIDInspectorView> view;
    int closes = 0;
};

TEST_F(HIDInspectorViewTest, PickingAnEventKeepsItSelectedWhileSamplesStreamAndNamesItsUsage)
{
    QAbstractItemModelTester tester(&view->eventModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&view->eventModel(), &QAbstractItemModel::modelReset);
    feed(30);
    auto* list = find<QListView>("eventList");
    ASSERT_EQ(list->model()->rowCount(), 30);
    const QModelIndex row = list->model()->index(12, 0);
    list->scrollTo(row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
    const QUuid picked = model->hidEvents().get()[12].id;
    ASSERT_EQ(currentId(), picked);
    EXPECT_TRUE(find<QLabel>("selectedEventLine")->text().startsWith("Selected: VID 0x1532 PID 0x022B Page 0x07"));
    EXPECT_FALSE(find<QPushButton>("saveMappingButton")->isEnabled());

    feed(150); // the list moves on; the row keeps its sample
    EXPECT_EQ(currentId(), picked);
    EXPECT_TRUE(list->selectionModel()->isSelected(list->currentIndex()));
    feed(100); // now it has left the newest 200
    EXPECT_FALSE(list->currentIndex().isValid());
    EXPECT_EQ(resets.size(), 0);
    EXPECT_EQ(list->model()->rowCount(), 200);

    QTest::keyClicks(find<QLineEdit>("customLabelField"), " K07 ");
    auto* save = find<QPushButton>("saveMappingButton");
    ASSERT_TRUE(save->isEnabled());
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(model->customUsageMap().value(VendorProduct{0x1532, 0x022B}).value(0x0007002A), "K07");
    EXPECT_EQ(find<QLineEdit>("customLabelField")->text(), "");
    EXPECT_FALSE(save->isEnabled());
}

TEST_F(HIDInspectorViewTest, DeviceListPickerIgnoreCopyAndClose)
{
    auto* devices = find<QListWidget>("deviceList");
    auto* picker = find<QComboBox>("deviceFilter");
    auto* ignore = find<QPushButton>("ignoreButton");
    ASSERT_EQ(devices->count(), 2);
    EXPECT_EQ(picker->count(), 3);
    EXPECT_EQ(picker->itemText(2), "SpeechMike (ignored)");
    EXPECT_FALSE(ignore->isVisible());

    QTest::mouseClick(devices->viewport(), Qt::LeftButton, {}, devices->visualItemRect(devices->item(1)).center());
    EXPECT_EQ(picker->currentIndex(), 2) << "one selection for the list and the picker";
    ASSERT_TRUE(ignore->isVisible());
    EXPECT_EQ(ignore->text(), "Unignore");
    QTest::mouseClick(ignore, Qt::LeftButton);
    queue->runUntilIdle();
    EXPECT_FALSE(model->connectedDevices().get()[1].ignored);
    EXPECT_EQ(ignore->text(), "Ignore");
    EXPECT_EQ(picker->itemText(2), "SpeechMike");

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
    EXPECT_TRUE(host.isVisible());
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(dismissed, 1);
}

} // namespace
