#include "input/UnifiedInputSource.h"
#include "platform/hid/ScriptedHid.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velmor;

using UnifiedInputSourceTest = test::PlatformFixture;

TEST_F(UnifiedInputSourceTest, WithoutHardwareTheMockStandsInUntilHardwareWinsForGood)
{
    hid::ScriptedHid hid;
    UnifiedInputSource source{false};
    queue->runUntilIdle();
    const ConnectedDeviceInfo mockInput{0, 0, QStringLiteral("Mock Input"), QStringLiteral("tartarus_v2"), false};
    EXPECT_EQ(source.connectedDevices().get(), QList<ConnectedDeviceInfo>{mockInput});
    source.selectDevice(QStringLiteral("speechmike_smp3700"));
    queue->runUntilIdle();
    EXPECT_EQ(source.activeDevice().get(), Device::speechMikeTemplate());

    // Hardware wins; while it is connected the mock's own changes stay out.
    auto keypad = hid.plug(0x1532, 0x022B, QStringLiteral("Razer Tartarus"));
    queue->runUntilIdle();
    source.mockSource().selectDevice(QStringLiteral("mouse_5_button"));
    queue->runUntilIdle();
    EXPECT_EQ(source.activeDevice().get(), Device::tartarusTemplate());
    EXPECT_EQ(source.connectedDevices().get(), source.hidSource().connectedDevices().get());

    // An id no template has falls back to the mock's active device.
    source.selectDevice(QStringLiteral("no_such_device"));
    EXPECT_EQ(source.activeDevice().get(), Device::mouseTemplate());

    hid.unplug(keypad);
    queue->runUntilIdle();
    EXPECT_TRUE(source.connectedDevices().get().isEmpty()) << "Mock Input is not shown again";
    EXPECT_EQ(source.activeDevice().get(), Device::tartarusTemplate());
}

TEST(MockDeviceInputSource, SelectsOnlyItsOwnTemplatesAndFallsBackToTheKeypad)
{
    EXPECT_EQ(MockDeviceInputSource({}).activeDevice().get(), Device::tartarusTemplate());
    MockDeviceInputSource mock({Device::speechMikeTemplate(), Device::mouseTemplate()});
    mock.selectDevice(QStringLiteral("Mouse_5_button")); // ids compare exactly
    EXPECT_EQ(mock.activeDevice().get(), Device::speechMikeTemplate());
    mock.selectDevice(QStringLiteral("mouse_5_button"));
    EXPECT_EQ(mock.activeDevice().get(), Device::mouseTemplate());
}
