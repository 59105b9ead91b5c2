#include "ScriptedSourceFixture.h"

#include "input/RazerRGB.h"

#include <gtest/gtest.h>

using namespace velmor;
using hid::Result;
using hid::ScriptedCall;

namespace {

constexpr RazerRGB violet{0x78, 0x00, 0xD1};
constexpr RazerRGB green{0x00, 0xB0, 0x50};

class KeypadLightingTest : public test::ScriptedSourceFixture {
protected:
    void SetUp() override { startSource(); }

    std::shared_ptr<hid::ScriptedDevice> plugLitKeypad(const QVariant& reportSize = 90,
                                                       std::int64_t product = keypadV2)
    {
        auto keypad = plugKeypad(product, {{hid::property::maxFeatureReportSize, reportSize}});
        takeLogs();
        return keypad;
    }

    static hid::ScriptedDevice::SentReport report(const RazerRGB& colour, std::uint32_t id = 0)
    {
        return {id, colour.featureReport()};
    }
};

} // namespace

TEST(RazerRGB, FeatureReportIsByteExact)
{
    // Header and colour (bytes 0 to 16), 70 zero bytes (17 to 86), the check
    // byte (87: XOR of bytes 3 to 86, so r ^ g ^ b), two zero bytes.
    const auto expected = [](const char* colour, const char* check) {
        return QByteArray::fromHex(QByteArray("003F000000090F0201050100" "0001") + colour + QByteArray(140, '0')
                                   + check + "0000").toHex(' ');
    };
    EXPECT_EQ(violet.featureReport().toHex(' '), expected("7800D1", "A9"));
    EXPECT_EQ(RazerRGB({0x12, 0x34, 0x56}).featureReport().toHex(' '), expected("123456", "70"));
}

TEST_F(KeypadLightingTest, ColourSetBeforeAnyKeypadIsSentWhenOneArrives)
{
    source->setLighting(violet);
    settle();
    EXPECT_TRUE(logs.isEmpty());

    auto keypad = plugLitKeypad();
    EXPECT_EQ(keypad->sentFeatureReports(), QList{report(violet)});

    // Two keypads each get the next colour and each say so.
    auto pro = plugLitKeypad(90, keypadPro);
    EXPECT_EQ(pro->sentFeatureReports(), QList{report(violet)});
    source->setLighting(green);
    settle();
    EXPECT_EQ(keypad->sentFeatureReports().last(), report(green));
    EXPECT_EQ(pro->sentFeatureReports().last(), report(green));
    EXPECT_EQ(takeLogs(), (QStringList{"Tartarus lighting set to #00B050.", "Tartarus lighting set to #00B050."}));

    // No colour: nothing is sent, and a keypad arriving later gets nothing either.
    source->setLighting(std::nullopt);
    auto late = plugLitKeypad();
    EXPECT_EQ(keypad->sentFeatureReports().size(), 2);
    EXPECT_TRUE(late->sentFeatureReports().isEmpty());
    EXPECT_TRUE(logs.isEmpty());
}

TEST_F(KeypadLightingTest, OnlyKeypadsThatTakeNinetyByteReportsAreTargets)
{
    source->setLighting(violet);
    auto small = plugLitKeypad(89);
    auto text = plugLitKeypad(QStringLiteral("90"));
    auto mike = hid.plug(philips, speechMike, QStringLiteral("SpeechMike"), {{hid::property::maxFeatureReportSize, 128}});
    settle();
    for (const auto& device : {small, text, mike})
        EXPECT_TRUE(device->sentFeatureReports().isEmpty());
    EXPECT_FALSE(logs.join('\n').contains("lighting"));
}

TEST_F(KeypadLightingTest, SecondReportIdIsTriedAndOnlyItsFailureIsReported)
{
    auto keypad = plugLitKeypad();
    keypad->failures().failNext(ScriptedCall::setFeatureReport, Result::error());
    source->setLighting(violet);
    settle();
    EXPECT_EQ(keypad->sentFeatureReports(), QList{report(violet, 1)});
    EXPECT_EQ(takeLogs(), QStringList{"Tartarus lighting set to #7800D1."});

    keypad->failures().failNext(ScriptedCall::setFeatureReport, Result::error());
    keypad->failures().failNext(ScriptedCall::setFeatureReport, Result::unsupported());
    source->setLighting(green);
    settle();
    EXPECT_EQ(takeLogs(), QStringList{"Failed to set Tartarus lighting #00B050 (Razer Tartarus) 0xE00002C7."});
    EXPECT_EQ(keypad->sentFeatureReports().size(), 1);

    // Without a product name the failure names the keypad family.
    keypad->setProperty(hid::property::product, {});
    keypad->failures().fail(ScriptedCall::setFeatureReport, Result::error());
    source->setLighting(green);
    settle();
    EXPECT_EQ(takeLogs(), QStringList{"Failed to set Tartarus lighting #00B050 (Tartarus) 0xE00002BC."});
}

TEST_F(KeypadLightingTest, KeypadThatIsNotOpenIsOpenedPlainlyAndClosedWhenForgotten)
{
    // The seize fails, so the keypad is not open when the colour is sent.
    auto keypad = hid.plug(razer, keypadV2, QStringLiteral("Razer Tartarus"), {{hid::property::maxFeatureReportSize, 90}});
    keypad->failures().failNext(ScriptedCall::open, Result::exclusiveAccess());
    settle();
    source->setLighting(violet);
    settle();
    EXPECT_EQ(keypad->calls(), (QStringList{"open seize", "setFeatureReport 0", "open", "setFeatureReport 0"}));
    EXPECT_TRUE(keypad->isOpen());

    // Released for other applications: the plain open does not linger.
    source->disableControl(razer, keypadV2);
    settle();
    EXPECT_EQ(keypad->calls().last(), "close");

    // Taken back (and seized now): the colour goes straight through.
    source->enableControl(razer, keypadV2);
    settle();
    EXPECT_EQ(keypad->calls().mid(5), (QStringList{"open seize", "setFeatureReport 0"}));
}

TEST_F(KeypadLightingTest, FailedPlainOpenIsTheResultOfTheAttempt)
{
    auto keypad = hid.plug(razer, keypadV2, QStringLiteral("Razer Tartarus"), {{hid::property::maxFeatureReportSize, 90}});
    keypad->failures().fail(ScriptedCall::open, Result::notPrivileged());
    settle();
    takeLogs();
    source->setLighting(violet);
    hid.unplug(keypad);
    settle();
    EXPECT_EQ(keypad->calls(), (QStringList{"open seize", "setFeatureReport 0", "open", "setFeatureReport 1", "open"}));
    EXPECT_EQ(takeLogs().first(), "Failed to set Tartarus lighting #7800D1 (Razer Tartarus) 0xE00002C1.");
}
