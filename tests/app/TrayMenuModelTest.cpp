// The tray menu's items, their order, checkmarks and actions, on the model.

#include "support/AppModelFixture.h"

#include "app/TrayMenuModel.h"
#include "input/ConnectedDeviceInfo.h"
#include "ui/shared/ScriptedPrompter.h"

#include <QJsonObject>

using namespace velmor;
using namespace velmor::test;

namespace {

using Kind = TrayMenuItem::Kind;

class TrayMenuModelTest : public AppModelFixture {
protected:
    TrayMenuModelTest()
    {
        start();
        menu = std::make_unique<TrayMenuModel>(*model, prompter, TrayMenuModel::Requests{[] {}, [] {}, [] {}});
    }
    ~TrayMenuModelTest() override { menu.reset(); }

    const QList<TrayMenuItem>& items()
    {
        queue->runUntilIdle();
        return menu->items().get();
    }
    // One line per item: "row ✓ Name", "toggle off Name", "caption PACS", …
    QStringList lines()
    {
        QStringList lines;
        for (const TrayMenuItem& item : items()) {
            switch (item.kind) {
            case Kind::header: lines << "header " + item.title + " | " + item.actionTitle; break;
            case Kind::button: lines << "button " + item.title; break;
            case Kind::divider: lines << "divider"; break;
            case Kind::caption: lines << "caption " + item.title; break;
            case Kind::row:
                EXPECT_EQ(item.symbol, item.checked ? "checkmark.circle.fill" : "circle") << item.title.toStdString();
                lines << QString("row %1 %2").arg(item.checked ? "✓" : "○", item.title);
                break;
            case Kind::toggle: lines << QString("toggle %1 %2").arg(item.checked ? "on" : "off", item.title); break;
            }
        }
        return lines;
    }
    const TrayMenuItem& item(Kind kind, const QString& title)
    {
        for (const TrayMenuItem& item : items())
            if (item.kind == kind && (item.title == title || item.actionTitle == title))
                return item;
        ADD_FAILURE() << "no item " << title.toStdString();
        static const TrayMenuItem none;
        return none;
    }
    void click(const QString& title, Kind kind = Kind::button)
    {
        const TrayMenuItem chosen = item(kind, title);
        ASSERT_TRUE(chosen.activate) << title.toStdString();
        chosen.activate();
        queue->runUntilIdle();
    }
    // The rows of the group under `caption`, in order.
    QStringList group(const QString& caption)
    {
        const QStringList all = lines();
        const qsizetype start = all.indexOf("caption " + caption);
        EXPECT_GE(start, 0) << caption.toStdString();
        QStringList rows;
        for (qsizetype i = start + 1; i < all.size() && all[i].startsWith("row "); ++i)
            rows << all[i];
        return rows;
    }
    UserProfile userNamed(const QString& name)
    {
        for (const UserProfile& profile : store().userProfiles().get())
            if (profile.name == name)
                return profile;
        ADD_FAILURE() << "no user profile " << name.toStdString();
        return {};
    }

    ScriptedPrompter prompter;
    std::unique_ptr<TrayMenuModel> menu;
};

TEST_F(TrayMenuModelTest, AllItemsInOrderWithOneCheckPerGroup)
{
    const QList<PacsProfile> pacs = store().pacsProfiles().get();
    ASSERT_GE(pacs.size(), 2);
    store().createUserProfile("Night Shift", pacs.at(1).id);
    store().createUserProfile("Mammo", pacs.at(0).id);
    store().selectUserProfile(userNamed("Night Shift"));
    plugKeypad();

    QStringList expected{"header Velmor | Open App", "button Sync Now", "button Cloud Sync Diagnostics",
                         "button Reset CloudKit Subscriptions", "divider", "caption User Profiles"};
    for (const UserProfile& user : store().userProfiles().get())
        expected << QString("row %1 %2").arg(user.name == "Night Shift" ? "✓" : "○", user.name);
    expected << "button Import User Profile…"
             << "button Export Active User Profile…"
             << "divider"
             << "caption PACS";
    for (const PacsProfile& profile : pacs)
        expected << QString("row %1 %2").arg(profile.id == pacs.at(1).id ? "✓" : "○", profile.name);
    expected << "button Import PACS Profile…"
             << "button Export Active PACS Profile…"
             << "divider"
             << "caption Device"
             << "row ✓ " + Device::tartarusTemplate().name << "divider"
             << "caption Velmor Control (uncheck to let another app use it)"
             << "toggle on Razer Tartarus"
             << "divider"
             << "button Admin / Tools"
             << "button Quit";
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(store().userProfiles().get().size(), 3);
}

TEST_F(TrayMenuModelTest, ThePacsCheckFollowsTheActiveUsersBindingNotTheStoresActivePacsId)
{
    const QList<PacsProfile> pacs = store().pacsProfiles().get();
    ASSERT_GE(pacs.size(), 2);
    const QUuid bound = store().activeUserProfile().pacsProfileId;
    const PacsProfile other = pacs.at(0).id == bound ? pacs.at(1) : pacs.at(0);

    store().selectPacsProfile(other.id);
    store().renameUserProfile(activeUser().id, "Renamed"); // the menu is drawn again
    ASSERT_EQ(store().activePacsProfileId().get(), other.id);
    const QStringList rows = group("PACS");
    ASSERT_EQ(store().activePacsProfileId().get(), other.id) << "still apart after the turn";
    EXPECT_EQ(rows.filter("✓").size(), 1);
    EXPECT_TRUE(rows.contains("row ○ " + other.name)) << rows.join(", ").toStdString();

    // Choosing a PACS row rebinds the active user profile only.
    store().createUserProfile("Second", bound);
    const UserProfile second = store().activeUserProfile();
    store().selectUserProfile(store().userProfiles().get().first());
    const UserProfile first = store().activeUserProfile();
    ASSERT_NE(first.id, second.id);
    click(other.name, Kind::row);
    EXPECT_EQ(store().activeUserProfile().id, first.id);
    EXPECT_EQ(store().activeUserProfile().pacsProfileId, other.id);
    EXPECT_EQ(userNamed("Second").pacsProfileId, bound);
    EXPECT_EQ(group("PACS").filter("✓"), QStringList{"row ✓ " + other.name});
}

TEST_F(TrayMenuModelTest, UserAndDeviceRowsChooseThroughTheStoreAndTheModel)
{
    store().createUserProfile("Night Shift");
    const UserProfile night = store().activeUserProfile();
    click(store().userProfiles().get().first().name, Kind::row);
    EXPECT_NE(store().activeUserProfileId().get(), night.id);
    click("Night Shift", Kind::row);
    EXPECT_EQ(store().activeUserProfileId().get(), night.id);
    EXPECT_EQ(group("User Profiles").filter("✓"), QStringList{"row ✓ Night Shift"});

    // Without hardware the mock input stands for one template; its row is the active device.
    const QStringList devices = group("Device");
    ASSERT_EQ(devices.size(), 1);
    EXPECT_TRUE(devices.first().startsWith("row ✓ "));
    EXPECT_FALSE(lines().contains("caption Velmor Control (uncheck to let another app use it)"))
        << "the mock input has no vendor id, so there is nothing to release";

    plugKeypad();
    ASSERT_EQ(group("Device"), QStringList{"row ✓ " + Device::tartarusTemplate().name});
    click(Device::tartarusTemplate().name, Kind::row);
    EXPECT_EQ(activeUser().selectedDeviceId, Device::tartarusTemplate().id);
}

TEST_F(TrayMenuModelTest, AControlToggleReleasesAndTakesBackTheDeviceAndShowsWhatTheSourcePublishes)
{
    plugKeypad();
    const TrayMenuItem toggle = item(Kind::toggle, "Razer Tartarus");
    ASSERT_TRUE(toggle.checked);

    toggle.toggle(false);
    queue->runUntilIdle();
    EXPECT_TRUE(model->connectedDevices().get().first().ignored);
    EXPECT_TRUE(lines().contains("toggle off Razer Tartarus"));
    EXPECT_FALSE(group("Device").contains("row ✓ " + Device::tartarusTemplate().name))
        << "a released device is not offered";

    item(Kind::toggle, "Razer Tartarus").toggle(true);
    queue->runUntilIdle();
    EXPECT_TRUE(lines().contains("toggle on Razer Tartarus"));
}

TEST_F(TrayMenuModelTest, ControlTogglesAreTitledByNameThenTemplateThenUnknown)
{
    EXPECT_EQ(TrayMenuModel::controlTitle({0x1532, 0x022B, "Pad", "tartarus_v2", false}), "Pad");
    EXPECT_EQ(TrayMenuModel::controlTitle({0x1532, 0x022B, std::nullopt, "tartarus_v2", false}), "tartarus_v2");
    EXPECT_EQ(TrayMenuModel::controlTitle({0x1532, 0x022B, std::nullopt, std::nullopt, false}), "Unknown Device");
}

TEST_F(TrayMenuModelTest, CloudCommandsRunTheSyncAndWarnInABuildWithoutOne)
{
    using Call = cloud::MemoryCloud::Call;
    ASSERT_TRUE(model->cloudSync());
    const int fetches = cloud.callCount(Call::fetchRecord);
    click("Sync Now");
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), fetches + 1);
    const int deletions = cloud.callCount(Call::deleteSubscription);
    click("Reset CloudKit Subscriptions");
    EXPECT_EQ(cloud.callCount(Call::deleteSubscription), deletions + 2);
    EXPECT_FALSE(model->alertMessage().get());

    // A build whose entitlements name no cloud container.
    menu.reset();
    model.reset();
    Entitlements::setCurrent(Entitlements(QJsonObject{}));
    start();
    menu = std::make_unique<TrayMenuModel>(*model, prompter, TrayMenuModel::Requests{[] {}, [] {}, [] {}});
    ASSERT_FALSE(model->cloudSync());
    for (const QString command : {"Sync Now", "Reset CloudKit Subscriptions"}) {
        click(command);
        const std::optional<AlertMessage> alert = model->alertMessage().get();
        ASSERT_TRUE(alert) << command.toStdString();
        EXPECT_EQ(alert->title, "Cloud Sync Unavailable");
        EXPECT_EQ(alert->message, "CloudKit is not enabled for this build.");
        EXPECT_EQ(alert->severity, AlertMessage::Severity::warning);
        model->dismissAlert(alert->id);
    }
    click("Cloud Sync Diagnostics");
    EXPECT_FALSE(model->alertMessage().get());
    EXPECT_TRUE(logMessages().contains("Cloud Sync Diagnostics: starting."));
}

} // namespace
