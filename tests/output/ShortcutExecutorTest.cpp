#include "output/ShortcutExecutor.h"

#include "platform/keys/RecordingKeyOutput.h"
#include "platform/permissions/ScriptedPermissions.h"
#include "support/TestSupport.h"

using namespace velmor;
using namespace std::chrono_literals;
using Mods = KeyboardShortcut::Modifiers;
using Post = keys::RecordingKeyOutput::Post;
using ShortcutExecutorTest = test::PlatformFixture;

// Which key codes map to which Linux keys, and how a keystroke is written, is the key output's own
// business (tests/platform); here: the flags, the order, and the permissions posting depends on.
TEST_F(ShortcutExecutorTest, PostsDownThenUpWithItsFlagsOnlyWithAccessibilityAndAsksForWhatIsMissing)
{
    keys::RecordingKeyOutput output;
    ScriptedPermissions permissions;
    auto executor = std::make_unique<ShortcutExecutor>(output, permissions);
    EXPECT_FALSE(executor->post(13, Mods{}));
    permissions.accessibility = true; // granted, but the executor has not looked yet
    EXPECT_FALSE(executor->post(13, Mods{}));
    permissions.calls.clear();
    executor->refreshPermissions();
    EXPECT_EQ(permissions.calls,
              (QStringList{"isAccessibilityTrusted", "preflightInputMonitoring", "requestInputMonitoring"}));
    EXPECT_TRUE(executor->post(0x4C, Mods{Mods::shift, Mods::control, Mods::option, Mods::command}));
    output.acceptDown = false; // the key-up still goes out, so nothing stays held
    EXPECT_FALSE(executor->post(13, Mods(16 | 1))); // the unnamed bit adds nothing
    EXPECT_EQ(output.posts, (QList<Post>{{0x4C, true, 0x3E0000, true}, {0x4C, false, 0x3E0000, true},
                                         {13, true, 0x20000, false}, {13, false, 0x20000, true}}));
    for (const std::uint16_t keypad : {0x41, 0x43, 0x45, 0x47, 0x4B, 0x4C, 0x4E, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56,
                                       0x57, 0x58, 0x59, 0x5B, 0x5C})
        EXPECT_EQ(ShortcutExecutor::eventFlags(keypad, Mods{}), keys::numericPadFlag) << keypad;
    EXPECT_EQ(ShortcutExecutor::keypadKeyCodes().size(), 18);
    for (int code = 0; code <= 0xFFFF; ++code) { // no other code carries the flag, e.g. 0x81 = 0x41 + 64
        if (!ShortcutExecutor::keypadKeyCodes().contains(std::uint16_t(code))) {
            ASSERT_EQ(ShortcutExecutor::eventFlags(std::uint16_t(code), Mods{}), 0u) << code;
        }
    }

    // A request reads again 0.2 s later and opens the help of what is still missing, Accessibility first.
    executor->requestPermissions();
    queue->advance(199ms);
    EXPECT_TRUE(permissions.openedAnchors.isEmpty());
    queue->advance(1ms);
    EXPECT_EQ(permissions.openedAnchors, QStringList{"Privacy_ListenEvent"});
    permissions.accessibility = false;
    executor->requestPermissions();
    queue->advance(200ms);
    EXPECT_EQ(permissions.openedAnchors.last(), "Privacy_Accessibility");

    // Both missing; the user grants both when asked.
    permissions.accessibilityAfterPrompt = permissions.inputMonitoringAfterRequest = true;
    executor->refreshPermissions();
    EXPECT_TRUE(executor->hasAccessibilityPermission().get() && executor->hasInputMonitoringPermission().get());
    EXPECT_TRUE(executor->lastPermissionPrompted().get().has_value());
    // The re-check does nothing once the executor is gone.
    executor->requestPermissions();
    executor.reset();
    permissions.calls.clear();
    queue->advance(200ms);
    EXPECT_TRUE(permissions.calls.isEmpty());
}
