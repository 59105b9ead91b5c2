#include "output/ShortcutExecutor.h"

#include "platform/keys/RecordingKeyOutput.h"
#include "platform/permissions/ScriptedPermissions.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace std::chrono_literals;
using Mods = KeyboardShortcut::Modifiers;
using Post = keys::RecordingKeyOutput::Post;

namespace {

class ShortcutExecutorTest : public test::PlatformFixture {
protected:
    ShortcutExecutorTest()
    {
        permissions.accessibility = true;
        permissions.inputMonitoring = true;
    }
    std::unique_ptr<ShortcutExecutor> make()
    {
        auto executor = std::make_unique<ShortcutExecutor>(output, permissions);
        permissions.calls.clear();
        return executor;
    }

    keys::RecordingKeyOutput output;
    ScriptedPermissions permissions;
};

} // namespace

TEST_F(ShortcutExecutorTest, PostsKeyDownThenKeyUpWithTheModifierAndKeypadFlags)
{
    auto executor = make();
    EXPECT_TRUE(executor->post(0x52, Mods::command));
    EXPECT_TRUE(executor->post(0x24, Mods{Mods::shift, Mods::control, Mods::option, Mods::command}));
    EXPECT_TRUE(executor->post(13, Mods(16 | 1))); // the unnamed bit adds nothing
    EXPECT_TRUE(executor->post(13, Mods{}));
    EXPECT_EQ(output.posts, (QList<Post>{{0x52, true, 0x300000, true}, {0x52, false, 0x300000, true},
                                         {0x24, true, 0x1E0000, true}, {0x24, false, 0x1E0000, true},
                                         {13, true, 0x20000, true}, {13, false, 0x20000, true},
                                         {13, true, 0, true}, {13, false, 0, true}}));

    for (const std::uint16_t keypad : {0x41, 0x43, 0x45, 0x47, 0x4B, 0x4C, 0x4E, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56,
                                       0x57, 0x58, 0x59, 0x5B, 0x5C})
        EXPECT_EQ(ShortcutExecutor::eventFlags(keypad, Mods::shift), 0x220000u) << keypad;
    for (const std::uint16_t other : {0x40, 0x42, 0x44, 0x48, 0x4F, 0x50, 0x5A, 0x5D})
        EXPECT_EQ(ShortcutExecutor::eventFlags(other, Mods{}), 0u) << other;
}

TEST_F(ShortcutExecutorTest, PostingWithoutAccessibilityDoesNothingUntilThePermissionIsReadAgain)
{
    permissions.accessibility = false;
    auto executor = make();
    EXPECT_FALSE(executor->post(13, Mods{}));
    EXPECT_TRUE(output.posts.isEmpty());

    permissions.accessibility = true; // granted, but the executor has not looked yet
    EXPECT_FALSE(executor->post(13, Mods{}));
    EXPECT_TRUE(output.posts.isEmpty());
    executor->refreshPermissions();
    EXPECT_TRUE(executor->post(13, Mods{}));
    EXPECT_EQ(output.posts.size(), 2);
}

TEST_F(ShortcutExecutorTest, AFailedKeyDownStillSendsTheKeyUpAndReportsFailure)
{
    auto executor = make();
    output.acceptDown = false;
    EXPECT_FALSE(executor->post(13, Mods::shift));
    EXPECT_EQ(output.posts, (QList<Post>{{13, true, 0x20000, false}, {13, false, 0x20000, true}}));
    output.acceptDown = true;
    output.acceptUp = false;
    EXPECT_FALSE(executor->post(13, Mods::shift));
}

TEST_F(ShortcutExecutorTest, RefreshAsksOnlyForWhatIsMissing)
{
    auto executor = make();
    executor->refreshPermissions();
    EXPECT_EQ(permissions.calls, (QStringList{"isAccessibilityTrusted", "preflightInputMonitoring"}));
    EXPECT_FALSE(executor->lastPermissionPrompted().get().has_value());

    permissions.inputMonitoring = false;
    permissions.calls.clear();
    executor->refreshPermissions();
    EXPECT_EQ(permissions.calls,
              (QStringList{"isAccessibilityTrusted", "preflightInputMonitoring", "requestInputMonitoring"}));

    // Both missing; the user grants both when asked.
    permissions.accessibility = false;
    permissions.accessibilityAfterPrompt = true;
    permissions.inputMonitoringAfterRequest = true;
    permissions.calls.clear();
    const QDateTime before = QDateTime::currentDateTimeUtc();
    executor->refreshPermissions();
    EXPECT_EQ(permissions.calls,
              (QStringList{"isAccessibilityTrusted", "preflightInputMonitoring", "promptAccessibilityTrust",
                           "isAccessibilityTrusted", "preflightInputMonitoring", "requestInputMonitoring"}));
    EXPECT_TRUE(executor->hasAccessibilityPermission().get());
    EXPECT_TRUE(executor->hasInputMonitoringPermission().get());
    ASSERT_TRUE(executor->lastPermissionPrompted().get().has_value());
    EXPECT_GE(*executor->lastPermissionPrompted().get(), before);
}

TEST_F(ShortcutExecutorTest, RequestOpensTheHelpOfAStillMissingPermissionAfterTwoTenthsOfASecond)
{
    auto executor = make();
    executor->requestPermissions();
    queue->advance(1000ms);
    EXPECT_TRUE(permissions.openedAnchors.isEmpty()); // both granted

    permissions.inputMonitoring = false;
    executor->requestPermissions();
    EXPECT_FALSE(executor->hasInputMonitoringPermission().get());
    queue->advance(199ms);
    EXPECT_TRUE(permissions.openedAnchors.isEmpty());
    queue->advance(1ms);
    EXPECT_EQ(permissions.openedAnchors, QStringList{"Privacy_ListenEvent"});

    permissions.accessibility = false;
    permissions.openedAnchors.clear();
    executor->requestPermissions();
    queue->advance(200ms);
    EXPECT_EQ(permissions.openedAnchors, QStringList{"Privacy_Accessibility"}); // Accessibility first

    // Granted while the re-check waits: the fields follow and nothing opens.
    permissions.openedAnchors.clear();
    executor->requestPermissions();
    permissions.accessibility = true;
    permissions.inputMonitoring = true;
    queue->advance(200ms);
    EXPECT_TRUE(permissions.openedAnchors.isEmpty());
    EXPECT_TRUE(executor->hasAccessibilityPermission().get());
    EXPECT_TRUE(executor->hasInputMonitoringPermission().get());
}

TEST_F(ShortcutExecutorTest, ReCheckDoesNothingOnceTheExecutorIsGone)
{
    permissions.accessibility = false;
    auto executor = make();
    executor->requestPermissions();
    executor.reset();
    permissions.calls.clear();
    queue->advance(200ms);
    EXPECT_TRUE(permissions.calls.isEmpty());
}

TEST_F(ShortcutExecutorTest, OpenPrivacySettingsReadsAgainAndPicksTheAnchor)
{
    auto executor = make();
    executor->openPrivacySettings();
    EXPECT_EQ(permissions.calls, (QStringList{"isAccessibilityTrusted", "preflightInputMonitoring",
                                              "openSettings:Privacy_Accessibility"})); // both granted

    permissions.inputMonitoring = false;
    executor->openPrivacySettings();
    permissions.accessibility = false;
    executor->openPrivacySettings();
    EXPECT_EQ(permissions.openedAnchors,
              (QStringList{"Privacy_Accessibility", "Privacy_ListenEvent", "Privacy_Accessibility"}));
}
