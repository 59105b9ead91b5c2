// When a hidraw reader falls behind, the kernel's queue of that reader fills up
// and further reports are dropped: a press, a release or both never arrive.
// Each keyboard report carries the whole key state, so the next report that
// does arrive sets every key straight: nothing stays held, nothing repeats.
#include "ScriptedSourceFixture.h"

#include "platform/hid/linux/HidrawDevice.h"
#include "support/HidDescriptors.h"

using namespace velmor;
using velmor::test::hid::bytes;

namespace {

class KeyboardReportGaps : public test::ScriptedSourceFixture {
protected:
    void SetUp() override
    {
        startSource();
        hid::HidrawNode node;
        node.devnode = QStringLiteral("/nonexistent/hidraw9");
        node.vendorId = razer;
        node.productId = keypadPro;
        node.product = QStringLiteral("Razer Tartarus Pro");
        keypad = hid::HidrawDevice::create(node, test::hid::keypad());
        // What the manager's route does with each value, without udev.
        keypad->setValueRoute([this](const hid::Value& value) { source->handleInputValue(value); });
        settle();
        takeLogs();
    }

    // Boot keyboard report: modifiers, reserved, six key slots.
    void report(std::initializer_list<int> keys)
    {
        QList<int> slotValues(keys);
        slotValues.resize(6, 0);
        QByteArray bytesOfReport = bytes({0, 0});
        for (const int key : slotValues)
            bytesOfReport.append(char(key));
        keypad->deliverReport(bytesOfReport);
        settle();
    }

    QStringList takeEvents()
    {
        QStringList lines;
        for (const QString& line : takeTrace())
            if (!line.startsWith(QLatin1String("sample")))
                lines << line;
        return lines;
    }

    std::shared_ptr<hid::HidrawDevice> keypad;
};

} // namespace

TEST_F(KeyboardReportGaps, TheNextReportReleasesWhatAMissingReleaseLeftHeld)
{
    report({0x1E}); // K01 down
    EXPECT_EQ(takeEvents(), (QStringList{"press K01"}));

    // Dropped: K01 up, K02 down. K03 down arrives: K01 goes, K02 never came.
    report({0x20});
    EXPECT_EQ(takeEvents(), (QStringList{"press K03", "release K01"}));

    // Dropped: K03 up and the whole press of K04. K03 and K05 down arrive, then
    // the report that lets go of everything.
    report({0x20, 0x22});
    EXPECT_EQ(takeEvents(), (QStringList{"press K05"}));
    report({});
    EXPECT_EQ(takeEvents(), (QStringList{"release K03", "release K05"}));

    // Nothing is left in the held-button table: a second empty report and a
    // gone device release nothing more.
    report({});
    EXPECT_TRUE(takeEvents().isEmpty());
    EXPECT_TRUE(source->removePressedButton({.deviceId = "tartarus_v2", .usageKey = 0x7001E, .elementCookie = std::nullopt}) == std::nullopt);
}

TEST_F(KeyboardReportGaps, SlotsThatTradePlacesOrAreRepeatedChangeNothingHeld)
{
    // Two keys held; a dropped report let one slot move. The same keys in other
    // slots are the same state: no press, no release.
    report({0x1E, 0x1F});
    EXPECT_EQ(takeEvents(), (QStringList{"press K01", "press K02"}));
    report({0x1F, 0x1E});
    EXPECT_TRUE(takeEvents().isEmpty());
    // A key in two slots at once is held once and released once.
    report({0x1F, 0x1F});
    EXPECT_EQ(takeEvents(), (QStringList{"release K01"}));
    report({});
    EXPECT_EQ(takeEvents(), (QStringList{"release K02"}));
}
