#include "ui/devices/HIDSampleListModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

QList<RawHIDSample> makeSamples(int count)
{
    QList<RawHIDSample> samples;
    for (int n = 0; n < count; ++n) {
        RawHIDSample sample;
        sample.usagePage = 9;
        sample.usage = n;
        sample.value = n;
        samples.append(sample);
    }
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

} // namespace
