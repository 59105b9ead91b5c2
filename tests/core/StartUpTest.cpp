#include "AppModelFixture.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QWindow>

using namespace velmor;
using namespace velmor::test;

namespace {

class StartUpTest : public AppModelFixture {};

} // namespace

TEST_F(StartUpTest, WithoutEntitlementsTheModelRunsWithoutSyncAndSelectsTheDictationMicrophone)
{
    start();
    store().setSelectedDeviceId(std::nullopt, activeUser().id);
    queue->runUntilIdle();
    model.reset();
    output.posts.clear();
    loginItem.setStatus(LoginItem::Status::NotRegistered);
    permissions.calls.clear();

    model = std::make_unique<AppModel>();
    EXPECT_TRUE(logMessages().contains("CloudKit sync disabled: missing iCloud entitlements."));
    EXPECT_EQ(model->cloudSync(), nullptr);
    EXPECT_EQ(activeUser().selectedDeviceId, std::optional<QString>("speechmike_smp3700"));

    // The launch tasks wait for a later turn of the main queue.
    EXPECT_EQ(loginItem.registerCalls(), 1);
    EXPECT_FALSE(permissions.calls.contains("promptAccessibilityTrust"));
    permissions.accessibility = false;
    queue->runUntilIdle();
    EXPECT_TRUE(permissions.calls.contains("promptAccessibilityTrust"));
    EXPECT_EQ(loginItem.registerCalls(), 2);
    EXPECT_TRUE(model->startAtLoginEnabled.get());
    EXPECT_TRUE(QFile::exists(store().fileURL()));
    // The input side's first values, which arrive after start-up, do not undo the selection.
    EXPECT_EQ(model->inputSource().activeDevice().get().id, "speechmike_smp3700");
}

TEST_F(StartUpTest, GrantedEntitlementsSkipTheDisabledNotice)
{
    Entitlements::setCurrent(Entitlements(QJsonObject{
        {"com.apple.developer.icloud-services", QJsonArray{"CloudKit"}}}));
    start();
    EXPECT_FALSE(logMessages().contains("CloudKit sync disabled: missing iCloud entitlements."));
}

TEST_F(StartUpTest, TheStoresActivePacsProfileFollowsTheActiveUserProfileAtStart)
{
    start();
    const QUuid userPacs = activeUser().pacsProfileId;
    store().createPacsProfile("Elsewhere"); // active now, and saved so
    queue->runUntilIdle();
    ASSERT_NE(store().activePacsProfileId.get(), userPacs);

    model.reset();
    start();
    EXPECT_EQ(store().activePacsProfileId.get(), userPacs);
    model.reset();
    ProfileStore reread;
    EXPECT_EQ(reread.activePacsProfileId.get(), userPacs) << "persisted by the start-up save";
}

TEST_F(StartUpTest, SwitchingTheUserProfileMovesDeviceAndPacsProfile)
{
    start();
    const QUuid firstUser = activeUser().id;
    store().setSelectedDeviceId(QStringLiteral("speechmike_smp3700"), firstUser);
    store().createPacsProfile("Second PACS");
    const QUuid secondPacs = store().activePacsProfileId.get();
    store().createUserProfile("Second user", secondPacs);
    store().setSelectedDeviceId(QStringLiteral("mouse_5_button"), activeUser().id);
    queue->runUntilIdle();

    const QList<UserProfile> users = store().userProfiles.get();
    store().selectUserProfile(*std::find_if(users.begin(), users.end(), [&](const auto& u) { return u.id == firstUser; }));
    EXPECT_EQ(model->inputSource().activeDevice().get().id, "speechmike_smp3700");
    EXPECT_NE(store().activePacsProfileId.get(), secondPacs);

    store().selectUserProfile(*std::find_if(users.begin(), users.end(), [&](const auto& u) { return u.id != firstUser; }));
    EXPECT_EQ(model->inputSource().activeDevice().get().id, "mouse_5_button");
    EXPECT_EQ(store().activePacsProfileId.get(), secondPacs);
    EXPECT_EQ(model->activePacsProfile().id, secondPacs);
}

TEST_F(StartUpTest, LeavingTheForegroundOrQuittingSaves)
{
    start();
    const auto saves = [&](const std::function<void()>& trigger) {
        int count = 0;
        auto counting = store().lastSaved.subscribe([&](const auto&) { ++count; });
        trigger();
        queue->runUntilIdle();
        return count - 1;
    };
    EXPECT_EQ(saves([] { QMetaObject::invokeMethod(qApp, "aboutToQuit"); }), 1);
    EXPECT_EQ(saves([] {
        QMetaObject::invokeMethod(qApp, "applicationStateChanged", Q_ARG(Qt::ApplicationState, Qt::ApplicationActive));
        QMetaObject::invokeMethod(qApp, "applicationStateChanged", Q_ARG(Qt::ApplicationState, Qt::ApplicationInactive));
        QMetaObject::invokeMethod(qApp, "applicationStateChanged", Q_ARG(Qt::ApplicationState, Qt::ApplicationHidden));
    }), 1);
    model.reset();
    QMetaObject::invokeMethod(qApp, "aboutToQuit"); // nothing left to save, nothing to crash
}

TEST_F(StartUpTest, LaunchAtLoginRegistersOnlyWhenNeededAndReportsTheRealState)
{
    loginItem.setStatus(LoginItem::Status::Enabled);
    start();
    EXPECT_EQ(loginItem.registerCalls(), 0);
    EXPECT_TRUE(model->startAtLoginEnabled.get());

    loginItem.setStatus(LoginItem::Status::NotRegistered);
    loginItem.setRegisterFails(true);
    model->enableLaunchAtLogin();
    EXPECT_FALSE(model->startAtLoginEnabled.get());
    EXPECT_TRUE(logMessages().last().startsWith("Failed to enable launch at login."));
}

TEST_F(StartUpTest, TheMappingWindowOpensOnceAndNotOverAVisibleWindow)
{
    start();
    int opened = 0;
    model->openMappingsWindowOnLaunch(); // nothing installed yet
    model->openMappingsWindow = [&] { ++opened; };
    {
        QWindow visible;
        visible.show();
        model->openMappingsWindowOnLaunch();
        EXPECT_EQ(opened, 0);
        EXPECT_FALSE(model->didOpenMappingsOnLaunch());
    }
    model->openMappingsWindowOnLaunch();
    model->openMappingsWindowOnLaunch();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(model->didOpenMappingsOnLaunch());
}
