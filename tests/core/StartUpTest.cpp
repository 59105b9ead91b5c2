#include "support/AppModelFixture.h"

#include "core/CloudKitEntitlements.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QWindow>

using namespace velmor;
using namespace velmor::test;

namespace {

TEST_F(AppModelFixture, StartUpWithoutEntitlementsLoginItemOrDevice)
{
    loginItem.setStatus(LoginItem::Status::Enabled);
    start();
    EXPECT_EQ(loginItem.registerCalls(), 0);
    EXPECT_TRUE(model->startAtLoginEnabled().get());
    store().setSelectedDeviceId(std::nullopt, activeUser().id);
    model.reset();
    loginItem.setStatus(LoginItem::Status::NotRegistered);
    permissions.calls.clear();

    Entitlements::setCurrent(Entitlements(QJsonObject{}));
    model = std::make_unique<AppModel>();
    EXPECT_TRUE(logMessages().contains("CloudKit sync disabled: missing iCloud entitlements."));
    EXPECT_EQ(activeUser().selectedDeviceId, std::optional<QString>("speechmike_smp3700"));

    // The launch tasks wait for a later turn of the main queue.
    EXPECT_EQ(loginItem.registerCalls(), 0);
    permissions.accessibility = false;
    queue->runUntilIdle();
    EXPECT_TRUE(permissions.calls.contains("promptAccessibilityTrust"));
    EXPECT_EQ(loginItem.registerCalls(), 1);
    EXPECT_TRUE(model->startAtLoginEnabled().get());
    // The input side's first values, which arrive after start-up, do not undo the selection.
    EXPECT_EQ(model->inputSource().activeDevice().get().id, "speechmike_smp3700");
    EXPECT_EQ(ProfileStore().activeUserProfile().selectedDeviceId, std::optional<QString>("speechmike_smp3700"));

    // A registration that fails shows as off.
    loginItem.setStatus(LoginItem::Status::NotRegistered);
    loginItem.setRegisterFails(true);
    model->enableLaunchAtLogin();
    EXPECT_FALSE(model->startAtLoginEnabled().get());
    EXPECT_TRUE(logMessages().last().startsWith("Failed to enable launch at login."));
}

// Removed, disabled or switched off in the desktop's start-up settings: two starts later
// the entry is as the user left it, and the model shows it off.
TEST_F(AppModelFixture, AnAutostartEntryTheUserRemovedOrSwitchedOffStaysSoAcrossStarts)
{
    QTemporaryDir home;
    const QString program = home.filePath("velmor");
    writeFile(program, "#!/bin/sh\n");
    QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    XdgAutostartLoginItem entry(home.filePath("config"), program, home.filePath("data"));
    LoginItem::setInstance(&entry);
    start();
    ASSERT_TRUE(model->startAtLoginEnabled().get());
    const QByteArray written = readFile(entry.entryPath());

    const QList<std::optional<QByteArray>> switchedOff{
        std::nullopt, // removed
        written + "Hidden=true\n",
        QByteArray(written).replace("X-GNOME-Autostart-enabled=true", "X-GNOME-Autostart-enabled=false"),
    };
    for (const std::optional<QByteArray>& left : switchedOff) {
        if (left)
            writeFile(entry.entryPath(), *left);
        else
            QFile::remove(entry.entryPath());
        for (int run = 0; run < 2; ++run) {
            model.reset();
            start();
            EXPECT_FALSE(model->startAtLoginEnabled().get());
            EXPECT_EQ(QFile::exists(entry.entryPath()), left.has_value());
            if (left) {
                EXPECT_EQ(readFile(entry.entryPath()), *left);
            }
        }
    }
    EXPECT_TRUE(logMessages().contains(
        "Failed to enable launch at login. User may need to add Velmor manually to the desktop's autostart applications."));
    model.reset();
    LoginItem::setInstance(&loginItem);
}

TEST(CloudKitEntitlements, AContainerListOrACloudKitServiceOpensTheGate)
{
    const QString containers = "\"com.apple.developer.icloud-container-identifiers\"";
    const QString services = "\"com.apple.developer.icloud-services\"";
    const QList<std::pair<QString, bool>> cases{
        {containers + ": [\"iCloud.a\"]", true},
        {containers + ": [], " + services + ": [\"CloudDocuments\", \"CloudKit\"]", true},
        {containers + ": [1], " + services + ": [\"CloudKit\"]", true},
        {containers + ": [], " + services + ": [\"CloudDocuments\"]", false},
        {services + ": [\"cloudkit\"]", false},
        {services + ": \"CloudKit\"", false},
        {services + ": [\"CloudKit\", 1]", false},
    };
    for (const auto& [json, expected] : cases) {
        Entitlements::setCurrent(Entitlements(QJsonDocument::fromJson(('{' + json + '}').toUtf8()).object()));
        EXPECT_EQ(hasCloudKitEntitlements(), expected) << json.toStdString();
    }
    Entitlements::setCurrent(std::nullopt);
    EXPECT_FALSE(hasCloudKitEntitlements()) << "unreadable entitlements";
    Entitlements::resetCurrent();
}

TEST_F(AppModelFixture, TheActivePacsProfileFollowsTheActiveUserProfileAtStartAndOnEverySwitch)
{
    start();
    const UserProfile first = activeUser();
    store().setSelectedDeviceId(QStringLiteral("speechmike_smp3700"), first.id);
    store().createPacsProfile("Elsewhere"); // active now, and saved so
    const QUuid elsewhere = store().activePacsProfileId().get();
    model.reset();
    start();
    EXPECT_EQ(ProfileStore().activePacsProfileId().get(), first.pacsProfileId) << "set and saved at start-up";

    store().createUserProfile("Second", elsewhere);
    store().setSelectedDeviceId(QStringLiteral("mouse_5_button"), activeUser().id);
    const UserProfile second = activeUser();
    store().selectUserProfile(first);
    EXPECT_EQ(store().activePacsProfileId().get(), first.pacsProfileId);
    EXPECT_EQ(model->inputSource().activeDevice().get().id, "speechmike_smp3700");
    store().selectUserProfile(second);
    EXPECT_EQ(model->inputSource().activeDevice().get().id, "mouse_5_button");
    EXPECT_EQ(model->activePacsProfile().id, elsewhere);
}

TEST_F(AppModelFixture, TheMappingWindowOpensOnlyWhenNoneIsUpAndLeavingTheForegroundOrQuittingSaves)
{
    start();
    int opened = 0;
    model->openMappingsWindow = [&] { ++opened; };
    {
        QWindow visible;
        visible.show();
        model->openMappingsWindowOnLaunch();
    }
    EXPECT_EQ(opened, 0) << "a window is up already";

    // Quitting saves, and so does leaving the foreground, once.
    int saves = -1; // the subscription's first delivery
    const auto counting = store().lastSaved().subscribe([&](const auto&) { ++saves; });
    QMetaObject::invokeMethod(qApp, "aboutToQuit");
    queue->runUntilIdle();
    EXPECT_EQ(saves, 1);
    for (const Qt::ApplicationState state : {Qt::ApplicationActive, Qt::ApplicationInactive, Qt::ApplicationHidden})
        QMetaObject::invokeMethod(qApp, "applicationStateChanged", Q_ARG(Qt::ApplicationState, state));
    queue->runUntilIdle();
    EXPECT_EQ(saves, 2);
    model.reset();
    QMetaObject::invokeMethod(qApp, "aboutToQuit"); // no model left: nothing happens
}

} // namespace
