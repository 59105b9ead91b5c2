#include "AppModelFixture.h"

#include <QDir>
#include <QFile>

using namespace velmor;
using namespace velmor::test;

namespace {

class CustomUsagesTest : public AppModelFixture {
protected:
    QString usagesPath() const { return supportPath("custom_usages.json"); }
    static RawHIDSample sample(std::int64_t page, std::int64_t usage)
    {
        RawHIDSample s;
        s.vendorId = 2321;
        s.productId = 3100;
        s.usagePage = page;
        s.usage = usage;
        return s;
    }
};

TEST_F(CustomUsagesTest, ANamedUsageBecomesAPressOfThatButton)
{
    start();
    auto device = hid.plug(0x1532, 0x022B, QStringLiteral("Razer Tartarus"));
    const hid::Element side{10, hid::ElementType::inputButton, 9, 1, false};
    queue->runUntilIdle();
    device->sendValue(side, 1);
    queue->runUntilIdle();
    ASSERT_EQ(model->lastEvent.get(), std::nullopt);

    model->setCustomUsageName(model->hidEvents.get().last(), "SIDE");
    EXPECT_EQ(readFile(usagesPath()), R"({"5426-555":{"90001":"SIDE"}})");
    device->sendValue(side, 0);
    device->sendValue(side, 1);
    queue->runUntilIdle();
    ASSERT_TRUE(model->lastEvent.get());
    EXPECT_EQ(model->lastEvent.get()->buttonId, "SIDE");

    // The next run reads the name back and hands it to the HID source.
    model.reset();
    start();
    EXPECT_EQ(model->customUsageMap().value({0x1532, 0x022B}).value(0x00090001), "SIDE");
    EXPECT_EQ(model->inputSource().hidSource().customUsageMap(), model->customUsageMap());
}

TEST_F(CustomUsagesTest, NamingKeepsTheLastNameAndRefusesKeysBeyond32Bits)
{
    writeFile(usagesPath(), R"({"+2321-3100": {"c00e9": "Mute", "zz": "x", "": "y"}, "abc-1": {"1": "y"}})");
    start();
    model->setCustomUsageName(sample(0x09, 0x01), "First");
    model->setCustomUsageName(sample(0x09, 0x01), "Second");
    model->setCustomUsageName(sample(0x10000, 0), "Wrapped");
    model->setCustomUsageName(sample(0x100000000, 0), "Refused");
    model->setCustomUsageName(sample(0, -1), "Refused");
    const QHash<std::uint32_t, QString> expected{{0x000C00E9, "Mute"}, {0x00090001, "Second"}, {0, "Wrapped"}};
    EXPECT_EQ(model->customUsageMap(), (AppModel::CustomUsageMap{{{2321, 3100}, expected}}));
    EXPECT_EQ(model->inputSource().hidSource().customUsageMap(), model->customUsageMap());
    // Malformed entries are gone; the lower-case key is written upper-case.
    EXPECT_EQ(readFile(usagesPath()), R"({"2321-3100":{"0000":"Wrapped","90001":"Second","C00E9":"Mute"}})");
}

TEST_F(CustomUsagesTest, ADamagedFileIsNeverWrittenOverBeforeItIsKeptAside)
{
    const QByteArray damaged = R"({"2321-3100": {"90001": 7}})";
    writeFile(usagesPath(), damaged);
    // Something in the way of the kept copy: the file must stay as it is.
    ASSERT_TRUE(QDir(supportDir.path()).mkpath("custom_usages.json.damaged/x"));
    start();
    EXPECT_TRUE(model->customUsageMap().isEmpty());
    model->setCustomUsageName(sample(9, 2), "Two");
    EXPECT_EQ(readFile(usagesPath()), damaged);
    EXPECT_TRUE(logMessages().last().startsWith("custom_usages.json could not be read or kept aside: "));
    EXPECT_EQ(model->inputSource().hidSource().customUsageMap().value({2321, 3100}).value(0x00090002), "Two");

    ASSERT_TRUE(QDir(supportPath("custom_usages.json.damaged")).removeRecursively());
    model->setCustomUsageName(sample(9, 3), "Three");
    EXPECT_EQ(readFile(usagesPath() + ".damaged"), damaged);
    EXPECT_EQ(readFile(usagesPath()), R"({"2321-3100":{"90002":"Two","90003":"Three"}})");
}

} // namespace
