#include "ScriptedSourceFixture.h"

#include "input/KeyboardReport.h"
#include "input/TartarusKeyboardReader.h"
#include "input/TartarusTables.h"

using namespace velmor;
using namespace velmor::hid;
using Usages = QSet<std::uint32_t>;

namespace {

const Element keyA{.cookie = 10, .type = ElementType::inputButton, .usagePage = 7, .usage = 0x04};
const Element keyArray{.cookie = 11, .type = ElementType::inputMisc, .usagePage = 7, .usage = 0xFFFFFFFF, .isArray = true};
const Element ledOutput{.cookie = 12, .type = ElementType::output, .usagePage = 7, .usage = 0x39};
const Element wheel{.cookie = 13, .type = ElementType::inputMisc, .usagePage = 1, .usage = 0x38};

// The reader on its own, without a HID source.
class TartarusKeyboardReaderTest : public test::ScriptedSourceFixture {
protected:
    // A keyboard interface (generic desktop page, keyboard usage).
    std::shared_ptr<ScriptedDevice> plugKeyboard(std::int64_t product = keypadPro, QVariantMap more = {})
    {
        more.insert(property::primaryUsagePage, 1);
        more.insert(property::primaryUsage, 6);
        return hid.plug(razer, product, QStringLiteral("Razer Tartarus Pro"), more, {keyA, keyArray, ledOutput, wheel});
    }
    void sendReports(const std::shared_ptr<ScriptedDevice>& device, int count)
    {
        for (int i = 0; i < count; ++i)
            device->sendReport(0, QByteArray::fromHex("0200040000000000"));
        settle();
    }

    QList<Value> values;
    std::shared_ptr<TartarusKeyboardReader> reader = TartarusKeyboardReader::create(
        [this](const Value& value) { values << value; }, [this](const QString& line) { logs << line; });
};

} // namespace

TEST_F(TartarusKeyboardReaderTest, OnlyAProKeyboardInterfaceGetsAQueueOverItsKeyElements)
{
    auto v2 = plugKeyboard(keypadV2);
    reader->registerTartarusKeyboardReader(v2, keypadV2);
    EXPECT_TRUE(v2->calls().isEmpty());

    // Failed steps leave no reader.
    auto device = plugKeyboard(keypadPro, {{property::maxInputReportSize, 90}});
    device->failures().failNext(ScriptedCall::copyElements, Result::error());
    reader->registerTartarusKeyboardReader(device, keypadPro);
    EXPECT_TRUE(logs.isEmpty());
    device->failures().failNext(ScriptedCall::createQueue, Result::noMemory());
    reader->registerTartarusKeyboardReader(device, keypadPro);
    device->setElements({ledOutput, wheel});
    reader->registerTartarusKeyboardReader(device, keypadPro);
    EXPECT_EQ(takeLogs(), (QStringList{"Failed to create Tartarus Pro keyboard queue.",
                                       "No Tartarus Pro keyboard elements were available for queue registration."}));
    EXPECT_FALSE(device->hasInputReportCallback());

    device->setElements({keyA, keyArray, ledOutput, wheel});
    reader->registerTartarusKeyboardReader(device, keypadPro);
    reader->registerTartarusKeyboardReader(device, keypadPro); // once is enough
    EXPECT_EQ(logs, QStringList{"Registered Tartarus Pro keyboard direct reader with 2 queued elements and "
                                "90-byte report buffer."});
    EXPECT_EQ(device->calls().count("createQueue 32"), 3); // two failed attempts, then one for good

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

TEST_F(TartarusKeyboardReaderTest, WhereTheManagerGetsEveryValueOnceTheReaderAddsNoRouteOfItsOwn)
{
    auto device = plugKeyboard();
    device->setOwnValueRoutesRepeatManager(true);
    reader->registerTartarusKeyboardReader(device, keypadPro);
    EXPECT_TRUE(reader->hasReader(device->handleId()));
    EXPECT_FALSE(device->calls().contains("createQueue 32"));
    EXPECT_FALSE(device->hasInputValueCallback());
    // The line and the report log stay as they are.
    EXPECT_EQ(takeLogs(), QStringList{"Registered Tartarus Pro keyboard direct reader with 2 queued elements and "
                                      "64-byte report buffer."});
    sendReports(device, 1);
    EXPECT_EQ(takeLogs().size(), 1);

    device->sendValue(keyA, 1);
    queue->runUntilIdle();
    EXPECT_TRUE(values.isEmpty());

    // Once only, and gone without a trace.
    reader->registerTartarusKeyboardReader(device, keypadPro);
    EXPECT_TRUE(logs.isEmpty());
    reader->unregisterTartarusKeyboardReader(device->handleId());
    EXPECT_FALSE(reader->hasReader(device->handleId()));
    EXPECT_FALSE(device->hasInputReportCallback());
}

TEST_F(TartarusKeyboardReaderTest, OnlyTheFirstTwelveReportsOfEachDeviceAreLogged)
{
    auto first = plugKeyboard();
    auto second = plugKeyboard();
    reader->registerTartarusKeyboardReader(first, keypadPro);
    reader->registerTartarusKeyboardReader(second, keypadPro);
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
    EXPECT_TRUE(logs[0].startsWith("Tartarus Pro keyboard report id 7 len 64 bytes [01 01 01"));

    // A reader set up again logs afresh.
    reader->unregisterTartarusKeyboardReader(first->handleId());
    reader->registerTartarusKeyboardReader(first, keypadPro);
    logs.clear();
    sendReports(first, 1);
    EXPECT_EQ(logs.size(), 1);
}

TEST(KeyboardReport, TheBestScoringReadingThatFitsWinsAndIsLoggedWithItsBytes)
{
    // Boot layout with left shift and 'a': A scores 22, nothing beats it.
    EXPECT_EQ(decodeKeyboardReport(QByteArray::fromHex("0200040000000000")), (Usages{0x04, 0xE1}));
    // Bitmap from byte 1 (14) beats the boot reading {0x1E} (11); bitmap from byte 2 (11) does not.
    EXPECT_EQ(decodeKeyboardReport(QByteArray::fromHex("00001E0000000000")), (Usages{0x09, 0x0A, 0x0B, 0x0C}));
    // Bitmap from byte 2 wins when only it lands on a keypad key.
    EXPECT_EQ(decodeKeyboardReport(QByteArray::fromHex("00001000")), (Usages{0x04}));
    // A ({0x2C}) and B ({0xE1}) both score 11: the boot reading without report id stays.
    EXPECT_EQ(decodeKeyboardReport(QByteArray::fromHex("00022C00")), (Usages{0x2C}));
    EXPECT_TRUE(decodeKeyboardReport(QByteArray(8, '\0')).isEmpty());
    EXPECT_TRUE(decodeKeyboardReport({}).isEmpty());

    // Short reports have only the readings that fit.
    const QByteArray two = QByteArray::fromHex("FF01");
    EXPECT_TRUE(bootReportUsages(two, 0, 2).isEmpty());
    EXPECT_TRUE(bootReportUsages(two, 1, 3).isEmpty());
    EXPECT_EQ(bitmapReportUsages(two, 1), (Usages{0}));
    EXPECT_TRUE(bitmapReportUsages(two, 2).isEmpty());
    EXPECT_TRUE(decodeKeyboardReport(QByteArray::fromHex("FF")).isEmpty());

    // Key codes 0 to 3 are "no key" and error codes; every modifier bit counts.
    EXPECT_EQ(bootReportUsages(QByteArray::fromHex("810001020304"), 0, 2), (Usages{0xE0, 0xE7, 0x04}));
    EXPECT_EQ(bitmapReportUsages(QByteArray::fromHex("008001"), 1), (Usages{7, 8}));

    // Log lines show the first 16 bytes and the usages in order.
    const QByteArray report = QByteArray::fromHex("0200040000000000");
    EXPECT_EQ(keyboardReportLogLine(0, report, decodeKeyboardReport(report)),
              "Tartarus Pro keyboard report id 0 len 8 bytes [02 00 04 00 00 00 00 00] usages [0x0004, 0x00E1]");

    const QByteArray longReport = QByteArray::fromHex("A0A1A2A3A4A5A6A7A8A9AAABACADAEAFB0B1B2B3");
    EXPECT_EQ(keyboardReportLogLine(4294967295u, longReport, {0x1234, 0x05}),
              "Tartarus Pro keyboard report id 4294967295 len 20 bytes "
              "[A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF] usages [0x0005, 0x1234]");

    // Keyboard interfaces and their report buffers.
    EXPECT_TRUE(isKeyboardInterface(1, 6.0));
    EXPECT_FALSE(isKeyboardInterface(1, 2)); // mouse
    EXPECT_FALSE(isKeyboardInterface(QStringLiteral("1"), QStringLiteral("6")));
    EXPECT_EQ(keyboardReportBufferLength(63), 64);
    EXPECT_EQ(keyboardReportBufferLength(QStringLiteral("128")), 64);
    EXPECT_EQ(keyboardReportBufferLength(QVariant(1LL << 40)), 65536);
}

TEST(TartarusTables, EveryFactoryKeyCodeBelongsToAKeypadButton)
{
    for (auto it = tartarusUsageToKeycode().cbegin(); it != tartarusUsageToKeycode().cend(); ++it) {
        EXPECT_TRUE(tartarusUsageMap().contains(0x70000 | it.key())) << it.key();
        EXPECT_TRUE(tartarusKeycodes().contains(it.value())) << it.key();
    }
}
