// Releasing devices for other applications (the ignore list) and the keypads' lighting.
#include "ScriptedSourceFixture.h"

#include "input/IgnoreListStorage.h"
#include "input/RazerRGB.h"

#include <gtest/gtest.h>

using namespace velmor;
using hid::Result;
using hid::ScriptedCall;

namespace {

const QByteArray speechMikeOnly = R"([{"vendor":2321,"product":3100}])";
constexpr RazerRGB violet{0x78, 0x00, 0xD1};
constexpr RazerRGB green{0x00, 0xB0, 0x50};

class DeviceControlTest : public test::ScriptedSourceFixture {
protected:
    QByteArray stored() const { return Settings::instance().value(IgnoreListStorage::settingsKey).toByteArray(); }
    // A restart: the source goes away and a new one reads what the old one stored.
    void restart(bool isFreshInstall = false)
    {
        source.reset();
        settle();
        startSource(isFreshInstall);
    }
    // Whether the first and the second connected pair are left to other applications.
    std::pair<bool, bool> ignored() const
    {
        const QList<ConnectedDeviceInfo> devices = source->connectedDevices().get();
        return {devices.at(0).ignored, devices.at(1).ignored};
    }
    std::shared_ptr<hid::ScriptedDevice> plugLitKeypad(const QVariant& reportSize = 90, std::int64_t product = keypadV2)
    {
        auto keypad = plugKeypad(product, {{hid::property::maxFeatureReportSize, reportSize}});
        takeLogs();
        return keypad;
    }
    using Sent = hid::ScriptedDevice::SentReport;
    static Sent report(const RazerRGB& colour, std::uint32_t id = 0) { return {id, colour.featureReport()}; }
};

} // namespace

TEST(IgnoreListStorage, StoresACompactArrayOfPairsAndReadsOnlyWhatDecodes)
{
    EXPECT_EQ(IgnoreListStorage::encode({{2321, 3100}, {5426, 555}}),
              R"([{"vendor":2321,"product":3100},{"vendor":5426,"product":555}])");
    EXPECT_EQ(IgnoreListStorage::decode(R"([{"product":555,"vendor":5426,"extra":1},{"vendor":5426,"product":555}])"),
              (QSet<VendorProduct>{{0x1532, 0x022B}}));
    EXPECT_EQ(IgnoreListStorage::decode("[]"), QSet<VendorProduct>{});
    EXPECT_EQ(IgnoreListStorage::decode("\xEF\xBB\xBF[{\"vendor\":5426,\"product\":555}]"),
              (QSet<VendorProduct>{{0x1532, 0x022B}}));
    for (const char* bad : {"", "{}", "[{\"vendor\":1}]", "[{\"vendor\":1.5,\"product\":2}]", "[1]", "[{", "null"})
        EXPECT_EQ(IgnoreListStorage::decode(bad), std::nullopt) << bad;
}

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

TEST_F(DeviceControlTest, TheListIsSeededOnceAndTheSeedLeavesTheSpeechMikeAlone)
{
    startSource(false);
    EXPECT_EQ(stored(), "[]");
    // A stored empty list is a list: the fresh-install seed does not apply again.
    restart(true);
    EXPECT_EQ(stored(), "[]");

    // Damaged stored data counts as none: the seed replaces it.
    Settings::instance().setValue(IgnoreListStorage::settingsKey, QByteArray("not json"));
    restart(true);
    EXPECT_EQ(stored(), speechMikeOnly);
    auto mike = plugSpeechMike();
    plugKeypad();
    EXPECT_TRUE(mike->calls().isEmpty()); // never opened
    EXPECT_EQ(ignored(), std::pair(true, false));
    EXPECT_EQ(source->connectedTemplateId(), QStringLiteral("tartarus_v2"));
    EXPECT_TRUE(logs.contains(
        "Velmor control disabled for SpeechMike vid 0x0911 pid 0x0C1C; leaving it free for other apps."));
    // Its values are nobody's business: no samples, no events.
    send(mike, button(9, 1), {1, 0});
    EXPECT_TRUE(trace.isEmpty());
}

TEST_F(DeviceControlTest, DisablingReleasesHeldButtonsClosesHandsControlOnAndIsStored)
{
    startSource();
    plugKeypad();
    auto mike = plugSpeechMike();
    send(mike, button(9, 1), {1});
    takeLogs();
    takeTrace();

    source->disableControl(philips, speechMike);
    settle();
    EXPECT_EQ(takeTrace(), QStringList{"release BOTTOM_TRIGGER"});
    EXPECT_EQ(mike->calls(), (QStringList{"open seize", "close seize"}));
    EXPECT_EQ(ignored(), std::pair(false, true));
    EXPECT_EQ(source->activeDevice().get().id, QStringLiteral("tartarus_v2"));
    EXPECT_EQ(takeLogs(), QStringList{"Velmor control disabled for vid 0x0911 pid 0x0C1C; device released for other apps."});
    EXPECT_TRUE(source->hasSuppressionTap()); // the keypad still needs it

    // A second request for the same pair changes nothing and says nothing.
    source->disableControl(philips, speechMike);
    settle();
    EXPECT_TRUE(takeLogs().isEmpty());

    // The last controlled device released: the keypad template without a device.
    source->disableControl(razer, keypadV2);
    settle();
    expectNoDeviceInControl();
    restart();
    EXPECT_EQ(IgnoreListStorage::load(), (QSet<VendorProduct>{{razer, keypadV2}, {philips, speechMike}}));
}

TEST_F(DeviceControlTest, EnablingSeizesAgainTakesControlAndResendsTheColour)
{
    startSource();
    // The seize fails, so the keypad is opened plainly for its colour.
    auto keypad = hid.plug(razer, keypadV2, QStringLiteral("Razer Tartarus"), {{hid::property::maxFeatureReportSize, 90}});
    keypad->failures().failNext(ScriptedCall::open, Result::exclusiveAccess());
    settle();
    source->setLighting(violet);
    send(keypad, button(7, 0x1E), {1});
    plugSpeechMike();
    EXPECT_EQ(keypad->calls(), (QStringList{"open seize", "setFeatureReport 0", "open", "setFeatureReport 0"}));

    // Released for other applications: the plain open does not linger.
    source->disableControl(razer, keypadV2);
    settle();
    EXPECT_EQ(keypad->calls().last(), "close");
    takeLogs();
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1e=1", "press K01", "release K01"}));

    source->enableControl(razer, keypadV2);
    settle();
    EXPECT_EQ(keypad->calls().mid(5), (QStringList{"open seize", "setFeatureReport 0"}));
    EXPECT_EQ(ignored(), std::pair(false, false));
    EXPECT_EQ(source->activeDevice().get(), Device::tartarusTemplate());
    EXPECT_EQ(source->connectedKey(), (VendorProduct{razer, keypadV2}));
    EXPECT_EQ(takeLogs(), (QStringList{"Seized HID device Razer Tartarus to suppress factory defaults.",
                                       "Tartarus lighting set to #7800D1.",
                                       "Velmor control enabled for vid 0x1532 pid 0x022B."}));

    // The key let go while the device was released: its release comes now and
    // finds no held button. Keys pressed from now on work again.
    send(keypad, button(7, 0x1E), {0});
    send(keypad, button(7, 0x1F), {1});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1e=0", "sample 7:1f=1", "press K02"}));

    // Taking back what was never released changes nothing.
    source->enableControl(razer, keypadV2);
    settle();
    EXPECT_TRUE(takeLogs().isEmpty());
}

TEST_F(DeviceControlTest, TheColourGoesToEveryKeypadThatTakesNinetyByteReports)
{
    startSource();
    source->setLighting(violet);
    settle();
    EXPECT_TRUE(logs.isEmpty());
    auto keypad = plugLitKeypad();
    plugLitKeypad(90, keypadPro);
    EXPECT_EQ(keypad->sentFeatureReports(), QList{report(violet)});
    auto small = plugLitKeypad(89);
    auto text = plugLitKeypad(QStringLiteral("90"));
    auto mike = hid.plug(philips, speechMike, QStringLiteral("SpeechMike"), {{hid::property::maxFeatureReportSize, 128}});
    settle();
    takeLogs();

    // Each keypad (the Pro too) gets the next colour and says so.
    source->setLighting(green);
    settle();
    EXPECT_EQ(keypad->sentFeatureReports().last(), report(green));
    EXPECT_EQ(takeLogs(), (QStringList{"Tartarus lighting set to #00B050.", "Tartarus lighting set to #00B050."}));
    for (const auto& device : {small, text, mike})
        EXPECT_TRUE(device->sentFeatureReports().isEmpty());

    // No colour: nothing is sent, and a keypad arriving later gets nothing either.
    source->setLighting(std::nullopt);
    auto late = plugLitKeypad();
    EXPECT_EQ(keypad->sentFeatureReports().size(), 2);
    EXPECT_TRUE(late->sentFeatureReports().isEmpty());
    EXPECT_TRUE(logs.isEmpty());
}

TEST_F(DeviceControlTest, LightingOneKeypadSendsToItAloneAndNamesItAsTold)
{
    startSource();
    auto keypad = plugLitKeypad();
    auto other = plugLitKeypad(90, keypadPro);
    source->applyLighting(violet, keypad, QStringLiteral("Left pad"));
    settle();
    EXPECT_EQ(keypad->sentFeatureReports(), QList{report(violet)});
    EXPECT_TRUE(other->sentFeatureReports().isEmpty());
    EXPECT_EQ(takeLogs(), QStringList{"Tartarus lighting set to #7800D1."});

    keypad->failures().fail(ScriptedCall::setFeatureReport, Result::error());
    source->applyLighting(green, keypad, QStringLiteral("Left pad"));
    settle();
    EXPECT_EQ(takeLogs(), QStringList{"Failed to set Tartarus lighting #00B050 (Left pad) 0xE00002BC."});
}

TEST_F(DeviceControlTest, TheSecondReportIdIsTriedAndOnlyItsFailureIsReported)
{
    startSource();
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

    // Without a product name the failure names the keypad family.
    keypad->setProperty(hid::property::product, {});
    keypad->failures().fail(ScriptedCall::setFeatureReport, Result::error());
    source->setLighting(green);
    settle();
    EXPECT_EQ(takeLogs(), QStringList{"Failed to set Tartarus lighting #00B050 (Tartarus) 0xE00002BC."});

    // A keypad that cannot even be opened plainly: the failed open is the result.
    unplug(keypad);
    auto locked =
        hid.plug(razer, keypadV2, QStringLiteral("Razer Tartarus"), {{hid::property::maxFeatureReportSize, 90}});
    locked->failures().fail(ScriptedCall::open, Result::notPrivileged());
    settle();
    EXPECT_EQ(locked->calls(), (QStringList{"open seize", "setFeatureReport 0", "open", "setFeatureReport 1", "open"}));
    EXPECT_TRUE(logs.contains("Failed to set Tartarus lighting #00B050 (Razer Tartarus) 0xE00002C1."));
}
