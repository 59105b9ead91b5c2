#include "ScriptedSourceFixture.h"

#include "input/IgnoreListStorage.h"

#include <gtest/gtest.h>

using namespace velmor;

namespace {

const QByteArray speechMikeOnly = R"([{"vendor":2321,"product":3100}])";

class IgnoreListTest : public test::ScriptedSourceFixture {
protected:
    QByteArray stored() const { return Settings::instance().value(IgnoreListStorage::settingsKey).toByteArray(); }
    // A restart: the source goes away and a new one reads what the old one stored.
    void restart(bool isFreshInstall = false)
    {
        source.reset();
        settle();
        startSource(isFreshInstall);
    }
    QList<bool> ignoredFlags() const
    {
        QList<bool> flags;
        for (const ConnectedDeviceInfo& info : source->connectedDevices().get())
            flags.append(info.ignored);
        return flags;
    }
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

TEST_F(IgnoreListTest, FreshInstallLeavesTheSpeechMikeAloneFromTheStart)
{
    startSource(true);
    EXPECT_EQ(stored(), speechMikeOnly);
    auto speechMike = plugSpeechMike();
    auto keypad = plugKeypad();
    EXPECT_TRUE(speechMike->calls().isEmpty()); // never opened
    EXPECT_EQ(ignoredFlags(), (QList<bool>{true, false}));
    EXPECT_EQ(source->connectedTemplateId(), QStringLiteral("tartarus_v2"));
    EXPECT_EQ(logs.first(), "Velmor control disabled for SpeechMike vid 0x0911 pid 0x0C1C; leaving it free for other apps.");

    // Its values are nobody's business: no samples, no events.
    send(speechMike, button(9, 1), {1, 0});
    EXPECT_TRUE(trace.isEmpty());
}

TEST_F(IgnoreListTest, TheListIsSeededOnceAndSurvivesRestarts)
{
    startSource(false);
    EXPECT_EQ(stored(), "[]");
    // A stored empty list is a list: the fresh-install seed does not apply again.
    restart(true);
    EXPECT_EQ(stored(), "[]");

    source->disableControl(razer, 0x0240);
    source->disableControl(philips, speechMike);
    settle();
    restart();
    EXPECT_EQ(IgnoreListStorage::load(), (QSet<VendorProduct>{{razer, 0x0240}, {philips, speechMike}}));
    auto keypad = plugKeypad(0x0240);
    EXPECT_TRUE(keypad->calls().isEmpty());
    EXPECT_EQ(ignoredFlags(), QList<bool>{true});

    // Damaged stored data counts as none: the default replaces it.
    Settings::instance().setValue(IgnoreListStorage::settingsKey, QByteArray("not json"));
    restart(true);
    EXPECT_EQ(stored(), speechMikeOnly);
}

TEST_F(IgnoreListTest, DisablingReleasesHeldButtonsClosesAndHandsControlOn)
{
    startSource();
    auto keypad = plugKeypad();
    auto mike = plugSpeechMike();
    send(mike, button(9, 1), {1});
    takeLogs();
    takeTrace();

    source->disableControl(philips, speechMike);
    settle();
    EXPECT_EQ(takeTrace(), QStringList{"release BOTTOM_TRIGGER"});
    EXPECT_EQ(mike->calls(), (QStringList{"open seize", "close seize"}));
    EXPECT_EQ(ignoredFlags(), (QList<bool>{false, true}));
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
    EXPECT_FALSE(source->connectedTemplateId().has_value());
    EXPECT_EQ(source->activeDevice().get(), Device::tartarusTemplate());
    EXPECT_FALSE(source->hasSuppressionTap());
    EXPECT_FALSE(keypad->isOpen());
}

TEST_F(IgnoreListTest, EnablingTakesTheDeviceBackAndALateReleaseFindsNothing)
{
    startSource();
    auto keypad = plugKeypad(keypadV2, {{hid::property::maxFeatureReportSize, 91}});
    source->setLighting(RazerRGB{0x78, 0x00, 0xD1});
    send(keypad, button(7, 0x1E), {1});
    source->disableControl(razer, keypadV2);
    settle();
    send(keypad, button(7, 0x1F), {1}); // while released: nothing at all
    takeLogs();
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1e=1", "press K01", "release K01"}));

    source->enableControl(razer, keypadV2);
    settle();
    EXPECT_TRUE(keypad->isSeized());
    EXPECT_EQ(ignoredFlags(), QList<bool>{false});
    EXPECT_EQ(keypad->sentFeatureReports().size(), 2); // the pending colour again
    EXPECT_EQ(takeLogs(), (QStringList{"Seized HID device Razer Tartarus to suppress factory defaults.",
                                       "Tartarus lighting set to #7800D1.",
                                       "Velmor control enabled for vid 0x1532 pid 0x022B.",
                                       "Event tap enabled to suppress Tartarus factory defaults."}));

    // The key let go while the device was released: its release comes now and
    // finds no held button. Keys pressed from now on work again.
    send(keypad, button(7, 0x1E), {0});
    send(keypad, button(7, 0x1F), {0, 1});
    EXPECT_EQ(takeTrace(), (QStringList{"sample 7:1e=0", "sample 7:1f=0", "sample 7:1f=1", "press K02"}));

    // Taking back what was never released changes nothing.
    source->enableControl(razer, keypadV2);
    settle();
    EXPECT_TRUE(takeLogs().isEmpty());
}
