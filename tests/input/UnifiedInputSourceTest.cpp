#include "input/UnifiedInputSource.h"
#include "platform/hid/ScriptedHid.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velmor;

namespace {

class UnifiedInputSourceTest : public test::PlatformFixture {
protected:
    void settle() { queue->runUntilIdle(); }

    hid::ScriptedHid hid;
    UnifiedInputSource source{false};
};

const ConnectedDeviceInfo mockInput{0, 0, QStringLiteral("Mock Input"), QStringLiteral("tartarus_v2"), false};

} // namespace

TEST_F(UnifiedInputSourceTest, WithoutHardwareTheMockStandsInUntilHardwareWinsForGood)
{
    settle();
    EXPECT_EQ(source.activeDevice().get(), Device::tartarusTemplate());
    EXPECT_EQ(source.connectedDevices().get(), QList<ConnectedDeviceInfo>{mockInput});

    source.selectDevice(QStringLiteral("speechmike_smp3700"));
    settle();
    EXPECT_EQ(source.activeDevice().get(), Device::speechMikeTemplate());

    // Hardware wins, and the mock does not come back.
    auto keypad = hid.plug(0x1532, 0x022B, QStringLiteral("Razer Tartarus"));
    settle();
    EXPECT_EQ(source.activeDevice().get(), Device::tartarusTemplate());

    // While a template device is connected, the mock's own changes stay out.
    source.mockSource().selectDevice(QStringLiteral("mouse_5_button"));
    settle();
    EXPECT_EQ(source.activeDevice().get(), Device::tartarusTemplate());
    EXPECT_EQ(source.connectedDevices().get(), source.hidSource().connectedDevices().get());

    // An id no template has falls back to the mock's active device.
    source.selectDevice(QStringLiteral("no_such_device"));
    EXPECT_EQ(source.activeDevice().get(), Device::mouseTemplate());

    hid.unplug(keypad);
    settle();
    EXPECT_TRUE(source.connectedDevices().get().isEmpty()) << "Mock Input is not shown again";
    EXPECT_EQ(source.activeDevice().get(), Device::tartarusTemplate());
}

TEST(MockDeviceInputSource, SelectsOnlyItsOwnTemplatesAndFallsBackToTheKeypad)
{
    MockDeviceInputSource empty({});
    EXPECT_EQ(empty.activeDevice().get(), Device::tartarusTemplate());
    EXPECT_EQ(empty.connectedDevices().get(), QList<ConnectedDeviceInfo>{mockInput});

    MockDeviceInputSource mock({Device::speechMikeTemplate(), Device::mouseTemplate()});
    EXPECT_EQ(mock.activeDevice().get(), Device::speechMikeTemplate());
    mock.selectDevice(QStringLiteral("Mouse_5_button")); // ids compare exactly
    EXPECT_EQ(mock.activeDevice().get(), Device::speechMikeTemplate());
    mock.selectDevice(QStringLiteral("mouse_5_button"));
    EXPECT_EQ(mock.activeDevice().get(), Device::mouseTemplate());
    EXPECT_EQ(mock.connectedDevices().get().first().templateId, QStringLiteral("mouse_5_button"));
}
