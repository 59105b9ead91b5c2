// The tray menu's items, their order, checkmarks and actions, on the model; that its
// import and export items reach the shared flow with the tray's wording (the flow's
// own cases are in ui/shared).

#include "support/AppModelFixture.h"

#include "app/MenuBarModel.h"
#include "input/ConnectedDeviceInfo.h"
#include "platform/Text.h"
#include "support/ProfileStoreSeed.h"
#include "ui/shared/ScriptedPrompter.h"

using namespace velmor;
using namespace velmor::test;

namespace {

using Kind = MenuBarItem::Kind;
using Ask = ScriptedPrompter::Kind;

class MenuBarModelTest : public AppModelFixture {
protected:
    MenuBarModelTest()
    {
        start();
        const auto request = [this](const QString& what) { return [this, what] { requested << what; }; };
        menu = std::make_unique<MenuBarModel>(
            *model, prompter, MenuBarModel::Requests{request("open"), request("admin"), request("quit"), request("log")});
    }

    // One line per item: "row ✓ Name", "toggle ○ Name", "caption PACS", "header Velmor Open App", …
    QStringList lines()
    {
        static const QStringList kinds{"header", "button", "divider", "caption", "row", "toggle"};
        QStringList lines;
        queue->runUntilIdle();
        for (const MenuBarItem& item : menu->items().get()) {
            const bool choice = item.kind == Kind::row || item.kind == Kind::toggle;
            const QString symbol = item.checked ? "checkmark.circle.fill" : "circle"; // rows only
            EXPECT_EQ(item.symbol, item.kind == Kind::row ? symbol : QString()) << item.title.toStdString();
            const QString mark = choice ? (item.checked ? "✓" : "○") : "";
            lines << QStringList{kinds.at(int(item.kind)), mark, item.title, item.actionTitle}.join(' ').simplified();
        }
        return lines;
    }
    QStringList checked() { return lines().filter("✓"); }
    MenuBarItem item(Kind kind, const QString& title)
    {
        queue->runUntilIdle();
        for (const MenuBarItem& item : menu->items().get())
            if (item.kind == kind && (item.title == title || item.title == text::displayName(title) ||
                                      item.actionTitle == title))
                return item;
        ADD_FAILURE() << "no item " << title.toStdString();
        return {};
    }
    void click(const QString& title, Kind kind = Kind::button)
    {
        const MenuBarItem chosen = item(kind, title);
        ASSERT_TRUE(chosen.activate) << title.toStdString();
        chosen.activate();
        queue->runUntilIdle();
    }

    QList<ScriptedPrompter::Request> requestsOf(Ask kind) const
    {
        QList<ScriptedPrompter::Request> found;
        for (const auto& request : prompter.requests())
            if (request.kind == kind)
                found.append(request);
        return found;
    }

    ScriptedPrompter prompter;
    QStringList requested;
    std::unique_ptr<MenuBarModel> menu;
};

TEST_F(MenuBarModelTest, AllItemsInOrderWithOneCheckPerGroupAndAToggleShowsTheSource)
{
    const QList<PacsProfile> pacs = store().pacsProfiles().get();
    ASSERT_GE(pacs.size(), 2);
    store().createUserProfile("Mammo", pacs.at(0).id);
    store().createUserProfile("Night Shift", pacs.at(1).id); // the new profile is the active one
    plugKeypad();

    const QString tartarus = text::displayName(Device::tartarusTemplate().name);
    const QString pad = text::displayName("Razer Tartarus");
    QStringList expected{"header Velmor Open App", "button Sync Now", "button Cloud Sync Diagnostics",
                         "button Reset CloudKit Subscriptions", "divider", "caption User Profiles"};
    for (const UserProfile& user : store().userProfiles().get())
        expected << QString("row %1 %2").arg(user.name == "Night Shift" ? "✓" : "○", text::displayName(user.name));
    expected << "button Import User Profile…" << "button Export Active User Profile…" << "divider" << "caption PACS";
    for (const PacsProfile& profile : pacs)
        expected << QString("row %1 %2").arg(profile.id == pacs.at(1).id ? "✓" : "○",
                                             text::displayName(profile.name));
    expected += QStringList{"button Import PACS Profile…", "button Export Active PACS Profile…", "divider",
                            "caption Device", "row ✓ " + tartarus, "divider",
                            "caption Velmor Control (uncheck to let another app use it)", "toggle ✓ " + pad,
                            "divider", "button Admin / Tools", "button Quit"};
    EXPECT_EQ(lines(), expected);

    // A toggle releases and takes back the device, and shows what the source publishes.
    item(Kind::toggle, "Razer Tartarus").toggle(false);
    EXPECT_TRUE(lines().contains("toggle ○ " + pad));
    EXPECT_FALSE(checked().contains("row ✓ " + tartarus)) << "a released device is not offered";
    item(Kind::toggle, "Razer Tartarus").toggle(true);
    EXPECT_TRUE(lines().contains("toggle ✓ " + pad));
}

TEST_F(MenuBarModelTest, RowsChooseTheUserTheActiveUsersPacsBindingAndTheDevice)
{
    const QList<PacsProfile> pacs = store().pacsProfiles().get();
    ASSERT_GE(pacs.size(), 2);
    const UserProfile first = activeUser();
    const PacsProfile mine = pacs.at(0).id == first.pacsProfileId ? pacs.at(0) : pacs.at(1);
    const PacsProfile other = pacs.at(0).id == first.pacsProfileId ? pacs.at(1) : pacs.at(0);
    store().createUserProfile("Second", mine.id);
    click(first.name, Kind::row);
    ASSERT_EQ(activeUser().id, first.id) << "a user row chooses the user";

    // The PACS check follows the active user's binding, not the store's own active PACS id.
    store().selectPacsProfile(other.id);
    store().renameUserProfile(first.id, "Renamed"); // the menu is drawn again
    EXPECT_FALSE(checked().contains("row ✓ " + text::displayName(other.name))) << checked().join(", ").toStdString();
    click("Export Active PACS Profile…"); // and it is the one exported
    EXPECT_EQ(requestsOf(Ask::save).value(0).file.proposedName, mine.name + ".json");

    // Choosing a PACS row rebinds the active user profile only.
    click(other.name, Kind::row);
    EXPECT_EQ(activeUser().pacsProfileId, other.id);
    EXPECT_EQ(store().userProfiles().get().last().pacsProfileId, mine.id);
    EXPECT_TRUE(checked().contains("row ✓ " + text::displayName(other.name)));

    // Without hardware the mock input stands for one template, with no control block.
    EXPECT_FALSE(lines().contains("caption Velmor Control (uncheck to let another app use it)"));
    plugKeypad();
    click(Device::tartarusTemplate().name, Kind::row);
    EXPECT_EQ(activeUser().selectedDeviceId, Device::tartarusTemplate().id);
}

// A control toggle is titled by product name, else template id, else "Unknown Device".
TEST(MenuBarControlTitle, NameThenTemplateThenUnknown)
{
    EXPECT_EQ(MenuBarModel::controlTitle({0x1532, 0x022B, "Pad", "tartarus_v2", false}), "Pad");
    EXPECT_EQ(MenuBarModel::controlTitle({0x1532, 0x022B, std::nullopt, "tartarus_v2", false}), "tartarus_v2");
    EXPECT_EQ(MenuBarModel::controlTitle({0x1532, 0x022B, std::nullopt, std::nullopt, false}), "Unknown Device");
}

// The warnings without a sync are the model's (core tests); here, which command runs.
TEST_F(MenuBarModelTest, CommandsReachTheSyncAndTheApplication)
{
    using Call = cloud::MemoryCloud::Call;
    const int fetches = cloud.callCount(Call::fetchRecord);
    const int deletions = cloud.callCount(Call::deleteSubscription);
    click("Sync Now");
    click("Reset CloudKit Subscriptions");
    EXPECT_EQ(cloud.callCount(Call::fetchRecord), fetches + 1);
    EXPECT_EQ(cloud.callCount(Call::deleteSubscription), deletions + 2);
    click("Cloud Sync Diagnostics");
    EXPECT_TRUE(logMessages().contains("Cloud Sync Diagnostics: starting."));

    click("Open App", Kind::header);
    click("Admin / Tools");
    click("Quit");
    EXPECT_EQ(requested, (QStringList{"log", "open", "admin", "quit"})) << "the diagnostics show the Event Log";
}

TEST_F(MenuBarModelTest, AFailedImportAsksTryAgainRunsItAgainAndEscapeACancelledDialogOrNoStoredUserEndIt)
{
    const QString broken = supportPath("broken.json");
    writeFile(broken, "{ not json");
    const qsizetype users = store().userProfiles().get().size();
    prompter.queueFile(broken);
    prompter.queueAnswer("Try Again");
    prompter.queueFile(dataPath("user-profile-export.json"));
    click("Import User Profile…");

    const Prompter::Question question = requestsOf(Ask::question).value(0).question;
    EXPECT_EQ(question.title, "Import Failed");
    EXPECT_TRUE(question.message.startsWith("Invalid user profile.\n\nDetails: ")) << question.message.toStdString();
    EXPECT_GT(question.message.size(), QString("Invalid user profile.\n\nDetails: ").size()) << "with the error";
    ASSERT_EQ(question.buttons.size(), 2);
    EXPECT_EQ(question.buttons.at(0).text, "Try Again");
    EXPECT_EQ(question.buttons.at(1).text, "Dismiss");
    EXPECT_EQ(Prompter::defaultButton(question), "Dismiss");
    EXPECT_EQ(requestsOf(Ask::open).size(), 2);
    EXPECT_EQ(store().userProfiles().get().size(), users + 1);

    // Escape is "Dismiss": the flow ends; so does a cancelled dialog, without a question.
    prompter.queueFile(broken);
    click("Import PACS Profile…");
    EXPECT_TRUE(prompter.requests().last().question.message.startsWith("Invalid PACS profile.\n\nDetails: "));
    click("Import PACS Profile…");
    click("Export Active PACS Profile…");
    click("Export Active User Profile…");
    // An active id that names no stored profile: the store's stand-in is not exported.
    ProfileStoreSeed::activeUserProfileId(store()).set(QUuid::createUuid());
    click("Export Active User Profile…");
    EXPECT_EQ(requestsOf(Ask::open).size(), 4);
    EXPECT_EQ(requestsOf(Ask::save).size(), 2);
    EXPECT_EQ(prompter.questionTitles(), (QStringList{"Import Failed", "Import Failed"}));
}

} // namespace
