#include "AppModelFixture.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QWindow>

using namespace velmor;
using namespace velmor::test;

TEST_F(AppModelFixture, StartUpWithoutEntitlementsRunsWithoutSyncAndGivesAProfileWithoutDeviceTheMicrophone)
{
    start();
    store().setSelectedDeviceId(std::nullopt, activeUser().id);
    model.reset();
    loginItem.setStatus(LoginItem::Status::NotRegistered);
    permissions.calls.clear();

    model = std::make_unique<AppModel>();
    EXPECT_TRUE(logMessages().contains("CloudKit sync disabled: missing iCloud entitlements."));
    EXPECT_EQ(model->cloudSync(), nullptr);
    EXPECT_EQ(activeUser().selectedDeviceId, std::optional<QString>("speechmike_smp3700"));

    // The launch tasks wait for a later turn of the main queue.
    EXPECT_EQ(loginItem.registerCalls(), 1);
    permissions.accessibility = false;
    queue->runUntilIdle();
    EXPECT_TRUE(permissions.calls.contains("promptAccessibilityTrust"));
    EXPECT_EQ(loginItem.registerCalls(), 2);
    EXPECT_TRUE(model->startAtLoginEnabled.get());
    // The input side's first values, which arrive after start-up, do not undo the selection.
    EXPECT_EQ(model->inputSource().activeDevice().get().id, "speechmike_smp3700");
    EXPECT_EQ(ProfileStore().activeUserProfile().selectedDeviceId, std::optional<QString>("speechmike_smp3700"));

    model.reset();
    Entitlements::setCurrent(Entitlements(QJsonObject{{"com.apple.developer.icloud-services", QJsonArray{"CloudKit"}}}));
    start();
    EXPECT_FALSE(logMessages().contains("CloudKit sync disabled: missing iCloud entitlements."));
}

TEST_F(AppModelFixture, TheActivePacsProfileFollowsTheActiveUserProfileAtStartAndOnEverySwitch)
{
    start();
    const UserProfile first = activeUser();
    store().setSelectedDeviceId(QStringLiteral("speechmike_smp3700"), first.id);
    store().createPacsProfile("Elsewhere"); // active now, and saved so
    const QUuid elsewhere = store().activePacsProfileId.get();
    model.reset();
    start();
    EXPECT_EQ(store().activePacsProfileId.get(), first.pacsProfileId);
    EXPECT_EQ(ProfileStore().activePacsProfileId.get(), first.pacsProfileId) << "persisted by the start-up save";

    store().createUserProfile("Second", elsewhere);
    store().setSelectedDeviceId(QStringLiteral("mouse_5_button"), activeUser().id);
    const UserProfile second = activeUser();
    store().selectUserProfile(first);
    EXPECT_EQ(model->inputSource().activeDevice().get().id, "speechmike_smp3700");
    EXPECT_EQ(store().activePacsProfileId.get(), first.pacsProfileId);
    store().selectUserProfile(second);
    EXPECT_EQ(model->inputSource().activeDevice().get().id, "mouse_5_button");
    EXPECT_EQ(model->activePacsProfile().id, elsewhere);
}

TEST_F(AppModelFixture, LeavingTheForegroundOrQuittingSaves)
{
    start();
    const auto saves = [&](const std::function<void()>& trigger) {
        int count = -1; // the subscription's first delivery
        auto counting = store().lastSaved.subscribe([&](const auto&) { ++count; });
        trigger();
        queue->runUntilIdle();
        return count;
    };
    EXPECT_EQ(saves([] { QMetaObject::invokeMethod(qApp, "aboutToQuit"); }), 1);
    const auto state = [](Qt::ApplicationState s) {
        QMetaObject::invokeMethod(qApp, "applicationStateChanged", Q_ARG(Qt::ApplicationState, s));
    };
    EXPECT_EQ(saves([&] {
                  state(Qt::ApplicationActive);
                  state(Qt::ApplicationInactive);
                  state(Qt::ApplicationHidden);
              }),
              1);
    model.reset();
    QMetaObject::invokeMethod(qApp, "aboutToQuit"); // no model left: nothing happens
}

TEST_F(AppModelFixture, LaunchAtLoginRegistersOnlyWhenNeededAndShowsTheRealState)
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

TEST_F(AppModelFixture, TheMappingWindowOpensOnceAtLaunchAndNotOverAVisibleWindow)
{
    start();
    int opened = 0;
    model->openMappingsWindowOnLaunch(); // no opener installed yet
    model->openMappingsWindow = [&] { ++opened; };
    {
        QWindow visible;
        visible.show();
        model->openMappingsWindowOnLaunch();
        EXPECT_FALSE(model->didOpenMappingsOnLaunch());
    }
    model->openMappingsWindowOnLaunch();
    model->openMappingsWindowOnLaunch();
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(model->didOpenMappingsOnLaunch());
}

TEST(AppModelStatics, HexByteStrings)
{
    EXPECT_EQ(AppModel::hexByteStrings(QByteArray::fromHex("0aff00")), (QStringList{"0a", "ff", "00"}));
    EXPECT_TRUE(AppModel::hexByteStrings({}).isEmpty());
}
