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
    TrayMenuModelTest() { startMenu(); }
    ~TrayMenuModelTest() override { menu.reset(); }

    void startMenu()
    {
        start();
        menu = std::make_unique<TrayMenuModel>(*model, prompter,
                                               TrayMenuModel::Requests{[this] { requested << "open"; },
                                                                       [this] { requested << "admin"; },
                                                                       [this] { requested << "quit"; }});
    }
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
    TrayMenuItem item(Kind kind, const QString& title)
    {
        for (const TrayMenuItem& item : items())
            if (item.kind == kind && (item.title == title || item.actionTitle == title))
                return item;
        ADD_FAILURE() << "no item " << title.toStdString();
        return {};
    }
    void click(const QString& title, Kind kind = Kind::button)
    {
        const TrayMenuItem chosen = item(kind, title);
        ASSERT_TRUE(chosen.activate) << title.toStdString();
        chosen.activate();
        queue->runUntilIdle();
    }
    QStringList checked() { return lines().filter("✓"); }

    ScriptedPrompter prompter;
    QStringList requested;
    std::unique_ptr<TrayMenuModel> menu;
};

TEST_F(TrayMenuModelTest, AllItemsInOrderWithOneCheckPerGroupAndTheApplicationsRequests)
{
    const QList<PacsProfile> pacs = store().pacsProfiles().get();
    ASSERT_GE(pacs.size(), 2);
    store().createUserProfile("Mammo", pacs.at(0).id);
    store().createUserProfile("Night Shift", pacs.at(1).id);
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

    click("Open App", Kind::header);
    click("Admin / Tools");
    click("Quit");
    EXPECT_EQ(requested, (QStringList{"open", "admin", "quit"}));
}

TEST_F(TrayMenuModelTest, RowsChooseTheUserTheActiveUsersPacsBindingAndTheDevice)
{
    const QList<PacsProfile> pacs = store().pacsProfiles().get();
    ASSERT_GE(pacs.size(), 2);
    const UserProfile first = activeUser();
    const QUuid bound = first.pacsProfileId;
    const PacsProfile other = pacs.at(0).id == bound ? pacs.at(1) : pacs.at(0);
    store().createUserProfile("Second", bound);
    click(first.name, Kind::row);
    ASSERT_EQ(store().activeUserProfileId().get(), first.id);

    // The PACS check follows the active user's binding, not the store's own active PACS id.
    store().selectPacsProfile(other.id);
    store().renameUserProfile(first.id, "Renamed"); // the menu is drawn again
    ASSERT_EQ(store().activePacsProfileId().get(), other.id);
    EXPECT_FALSE(checked().contains("row ✓ " + other.name)) << checked().join(", ").toStdString();

    // Choosing a PACS row rebinds the active user profile only.
    click(other.name, Kind::row);
    EXPECT_EQ(activeUser().id, first.id);
    EXPECT_EQ(activeUser().pacsProfileId, other.id);
    EXPECT_EQ(store().userProfiles().get().last().pacsProfileId, bound);
    EXPECT_TRUE(checked().contains("row ✓ " + other.name));

    click("Second", Kind::row);
    EXPECT_EQ(activeUser().name, "Second");
    EXPECT_TRUE(checked().contains("row ✓ Second"));

    // Without hardware the mock input stands for one template, with no control block.
    EXPECT_FALSE(lines().contains("caption Velmor Control (uncheck to let another app use it)"));
    plugKeypad();
    click(Device::tartarusTemplate().name, Kind::row);
    EXPECT_EQ(activeUser().selectedDeviceId, Device::tartarusTemplate().id);
}

TEST_F(TrayMenuModelTest, AControlToggleReleasesAndTakesBackTheDeviceAndShowsWhatTheSourcePublishes)
{
    plugKeypad();
    item(Kind::toggle, "Razer Tartarus").toggle(false);
    queue->runUntilIdle();
    EXPECT_TRUE(model->connectedDevices().get().first().ignored);
    EXPECT_TRUE(lines().contains("toggle off Razer Tartarus"));
    EXPECT_FALSE(checked().contains("row ✓ " + Device::tartarusTemplate().name)) << "a released device is not offered";

    item(Kind::toggle, "Razer Tartarus").toggle(true);
    EXPECT_TRUE(lines().contains("toggle on Razer Tartarus"));

    // Titled by product name, else template id, else "Unknown Device".
    EXPECT_EQ(TrayMenuModel::controlTitle({0x1532, 0x022B, "Pad", "tartarus_v2", false}), "Pad");
    EXPECT_EQ(TrayMenuModel::controlTitle({0x1532, 0x022B, std::nullopt, "tartarus_v2", false}), "tartarus_v2");
    EXPECT_EQ(TrayMenuModel::controlTitle({0x1532, 0x022B, std::nullopt, std::nullopt, false}), "Unknown Device");
}

TEST_F(TrayMenuModelTest, CloudCommandsRunTheSyncAndWarnInABuildWithoutOne)
{
    using Call = cloud::MemoryCloud::Call;
    const int fetches = cloud.callCount(Call::fetchRecord);
    const int deletions = cloud.callCount(Call::deleteSubscription);
    click("Sync Now");
    click("Reset CloudKit Subscriptions");
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), fetches + 1);
    EXPECT_EQ(cloud.callCount(Call::deleteSubscription), deletions + 2);
    EXPECT_FALSE(model->alertMessage().get());

    // A build whose entitlements name no cloud container.
    menu.reset();
    model.reset();
    Entitlements::setCurrent(Entitlements(QJsonObject{}));
    startMenu();
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
