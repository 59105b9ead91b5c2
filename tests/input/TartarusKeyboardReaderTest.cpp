#include "input/TartarusKeyboardReader.h"
#include "platform/hid/ScriptedHid.h"
#include "support/TestSupport.h"

using namespace velmor;
using namespace velmor::hid;

namespace {

constexpr std::int64_t razer = 0x1532;
constexpr std::int64_t tartarusPro = 0x0244;
constexpr std::int64_t tartarusV2 = 0x022B;

const Element keyA{.cookie = 10, .type = ElementType::inputButton, .usagePage = 7, .usage = 0x04};
const Element keyArray{.cookie = 11, .type = ElementType::inputMisc, .usagePage = 7, .usage = 0xFFFFFFFF, .isArray = true};
const Element ledOutput{.cookie = 12, .type = ElementType::output, .usagePage = 7, .usage = 0x39};
const Element wheel{.cookie = 13, .type = ElementType::inputMisc, .usagePage = 1, .usage = 0x38};

class TartarusKeyboardReaderTest : public test::PlatformFixture {
protected:
    std::shared_ptr<ScriptedDevice> plugKeyboard(std::int64_t product = tartarusPro, QVariantMap more = {},
                                                 QList<Element> elements = {keyA, keyArray, ledOutput, wheel})
    {
        more.insert(property::primaryUsagePage, 1);
        if (!more.contains(property::primaryUsage))
            more.insert(property::primaryUsage, 6);
        return hid.plug(razer, product, QStringLiteral("Razer Tartarus Pro"), more, elements);
    }
    void sendReports(const std::shared_ptr<ScriptedDevice>& device, int count)
    {
        for (int i = 0; i < count; ++i)
            device->sendReport(0, QByteArray::fromHex("0200040000000000"));
        queue->runUntilIdle();
    }

    ScriptedHid hid;
    QStringList logs;
    QList<Value> values;
    std::shared_ptr<TartarusKeyboardReader> reader = TartarusKeyboardReader::create(
        [this](const Value& value) { values << value; }, [this](const QString& line) { logs << line; });
};

} // namespace

TEST_F(TartarusKeyboardReaderTest, AProKeyboardInterfaceGetsAQueueOverItsKeyElements)
{
    auto device = plugKeyboard(tartarusPro, {{property::maxInputReportSize, 90}});
    reader->registerTartarusKeyboardReader(device, tartarusPro);
    reader->registerTartarusKeyboardReader(device, tartarusPro); // once is enough
    EXPECT_EQ(logs, QStringList{"Registered Tartarus Pro keyboard direct reader with 2 queued elements and "
                                "90-byte report buffer."});
    EXPECT_EQ(device->calls().count("createQueue 32"), 1);
    EXPECT_EQ(device->reportBufferLength(), 90);

    // A key value arrives twice, through the device's callback and the queue;
    // the wheel only through the device's callback.
    device->sendValue(keyA, 1);
    device->sendValue(wheel, 1);
    queue->runUntilIdle();
    ASSERT_EQ(values.size(), 3);
    EXPECT_EQ(values[1].element, keyA);
    EXPECT_EQ(values[2].element, wheel);

    reader->unregisterTartarusKeyboardReader(device->handleId());
    EXPECT_FALSE(device->hasInputReportCallback());
    EXPECT_FALSE(device->isScheduled());
    device->sendValue(keyA, 0);
    queue->runUntilIdle();
    EXPECT_EQ(values.size(), 3);
}

TEST_F(TartarusKeyboardReaderTest, OtherDevicesAndFailedStepsLeaveNoReader)
{
    auto v2 = plugKeyboard(tartarusV2);
    reader->registerTartarusKeyboardReader(v2, tartarusV2);
    EXPECT_TRUE(v2->calls().isEmpty());

    auto device = plugKeyboard();
    device->failures().failNext(ScriptedCall::copyElements, Result::error());
    reader->registerTartarusKeyboardReader(device, tartarusPro);
    EXPECT_TRUE(logs.isEmpty());
    device->failures().failNext(ScriptedCall::createQueue, Result::noMemory());
    reader->registerTartarusKeyboardReader(device, tartarusPro);
    device->setElements({ledOutput, wheel});
    reader->registerTartarusKeyboardReader(device, tartarusPro);
    EXPECT_EQ(logs, (QStringList{"Failed to create Tartarus Pro keyboard queue.",
                                 "No Tartarus Pro keyboard elements were available for queue registration."}));
    EXPECT_FALSE(reader->hasReader(device->handleId()));
    EXPECT_FALSE(device->hasInputReportCallback());
}

TEST_F(TartarusKeyboardReaderTest, OnlyTheFirstTwelveReportsOfEachDeviceAreLogged)
{
    auto first = plugKeyboard();
    auto second = plugKeyboard();
    reader->registerTartarusKeyboardReader(first, tartarusPro);
    reader->registerTartarusKeyboardReader(second, tartarusPro);
    logs.clear();

    sendReports(first, 13);
    EXPECT_EQ(logs.size(), 12);
    sendReports(second, 1);
    EXPECT_EQ(logs.size(), 13);

    // Failed, non-input and empty reports are neither logged nor counted.
    logs.clear();
    second->sendReport(1, QByteArray("\x01", 1), ReportType::input, Result::error());
    second->sendReport(1, QByteArray("\x01", 1), ReportType::feature);
    second->sendReport(1, QByteArray());
    // A report longer than the buffer is cut to it.
    second->sendReport(7, QByteArray(100, '\x01'));
    queue->runUntilIdle();
    ASSERT_EQ(logs.size(), 1);
    EXPECT_TRUE(logs[0].startsWith("Tartarus Pro keyboard report id 7 len 64 bytes [01 01 01 01 01 01 01 01 01 01 01 "
                                   "01 01 01 01 01] usages ["));

    // A reader set up again logs afresh.
    reader->unregisterTartarusKeyboardReader(first->handleId());
    reader->registerTartarusKeyboardReader(first, tartarusPro);
    logs.clear();
    sendReports(first, 1);
    EXPECT_EQ(logs.size(), 1);
}
