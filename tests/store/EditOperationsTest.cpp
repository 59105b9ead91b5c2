#include "StoreOperationsFixture.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

class EditOperationsTest : public StoreOperationsFixture {
protected:
    void SetUp() override
    {
        StoreOperationsFixture::SetUp();
        install({synthesis, intelerad}, {general, other});
        // Records the order in which the two active ids change.
        watches.push_back(store->activeUserProfileId().subscribe([this](const QUuid&) { activeChanges << "user"; }));
        watches.push_back(store->activePacsProfileId().subscribe([this](const QUuid&) { activeChanges << "pacs"; }));
        activeChanges.clear();
    }
    UserProfile user(qsizetype index) const { return store->userProfiles().get().at(index); }
    PacsProfile pacs(qsizetype index) const { return store->pacsProfiles().get().at(index); }

    RadiologyTool zoom = makeTool("Zoom");
    RadiologyTool pan = makeTool("Pan");
    RadiologyTool magnify = makeTool("Magnify");
    PacsProfile synthesis = makePacs("Synthesis", {zoom, pan, magnify});
    PacsProfile intelerad = makePacs("Intelerad", {makeTool("PAN"), makeTool("zoom"), makeTool("Zoom")});
    UserProfile general = makeUser("General", synthesis.id,
                                   {makeMapping("tartarus_v2", "K01", zoom.id),
                                    makeMapping("mouse_5_button", "LEFT_CLICK", pan.id),
                                    makeMapping("tartarus_v2", "K05", magnify.id)});
    // Bound to Intelerad but mapping a Synthesis tool id, as after copying a profile.
    UserProfile other = makeUser("Other", intelerad.id, {makeMapping("tartarus_v2", "K01", zoom.id)});
    QStringList activeChanges;
    std::vector<Subscription> watches;
};

} // namespace

TEST_F(EditOperationsTest, ToolEditsFindTheToolByIdAndSaveOnlyWhenTheyChangeSomething)
{
    RadiologyTool renamed = pan;
    renamed.name = "Pan Hand";
    store->upsertTool(renamed, synthesis.id);
    const RadiologyTool added = makeTool("Flicker");
    store->upsertTool(added, synthesis.id);
    store->setShortcut(std::nullopt, magnify.id, synthesis.id);
    EXPECT_EQ(namesOf(pacs(0).tools), (QStringList{"Zoom", "Pan Hand", "Magnify", "Flicker"}));
    EXPECT_FALSE(pacs(0).tools.at(2).shortcut);
    EXPECT_EQ(savesSinceLastCheck(), 3);
    EXPECT_EQ(profilesOnDisk().pacsProfiles, store->pacsProfiles().get());

    // A tool the profile lacks, or a PACS id that matches nothing: no change, no save.
    const QList<PacsProfile> before = store->pacsProfiles().get();
    store->updateTool(makeTool("Stranger"), synthesis.id);
    store->setShortcut(KeyboardShortcut{}, QUuid::createUuid(), synthesis.id);
    store->upsertTool(added, QUuid::createUuid());
    store->deleteTool(pan.id, QUuid::createUuid());
    EXPECT_EQ(store->pacsProfiles().get(), before);
    EXPECT_EQ(savesSinceLastCheck(), 0);

    // Deleting a tool takes its mappings only from users of that PACS profile.
    store->deleteTool(zoom.id, synthesis.id);
    EXPECT_EQ(namesOf(pacs(0).tools), (QStringList{"Pan Hand", "Magnify", "Flicker"}));
    EXPECT_EQ(user(0).mappings, general.mappings.mid(1));
    EXPECT_EQ(user(1), other);
    EXPECT_EQ(savesSinceLastCheck(), 1);
}

TEST_F(EditOperationsTest, SetMappingLeavesOneMappingPerButtonAtTheEnd)
{
    store->setMapping("tartarus_v2", "K01", magnify.id, general.id);
    store->setMapping("tartarus_v2", "K01", pan.id, general.id);
    const QList<ButtonMapping> mappings = user(0).mappings;
    ASSERT_EQ(mappings.size(), 3);
    EXPECT_EQ(mappings.mid(0, 2), general.mappings.mid(1));
    EXPECT_EQ(mappings[2].toolId, pan.id);
    EXPECT_NE(mappings[2].id, general.mappings[0].id);

    // Ids compare with their letter case; a user id that matches nothing saves nothing.
    store->removeMapping("tartarus_v2", "k05", general.id);
    EXPECT_EQ(user(0).mappings.size(), 3);
    store->clearMappings("tartarus_v2", general.id);
    EXPECT_EQ(user(0).mappings, general.mappings.mid(1, 1));
    EXPECT_EQ(savesSinceLastCheck(), 4);
    store->clearMappings(std::nullopt, QUuid::createUuid());
    EXPECT_EQ(savesSinceLastCheck(), 0);
}

TEST_F(EditOperationsTest, ResetUsesTheBoundPacsProfileAndTheArgumentOnlyWhenThatIsGone)
{
    addDefaultMappings();
    // Another profile named Synthesis, with other tool ids, as a window might pass.
    const PacsProfile shownCopy = makePacs("Synthesis", {makeTool("Pan"), makeTool("Magnify")});
    store->resetMappingsToDefaults(general.id, shownCopy, "tartarus_v2");
    QList<ButtonMapping> mappings = user(0).mappings;
    // The mouse mapping stays; the keypad gets the defaults on the bound profile's tools.
    ASSERT_EQ(mappings.size(), 3);
    EXPECT_EQ(mappings[0], general.mappings[1]);
    EXPECT_EQ(mappings[1].toolId, pan.id);
    EXPECT_EQ(mappings[2].toolId, magnify.id);

    // Bound to a PACS profile that no longer exists: the argument's tools serve.
    // Without a device every device's mappings give way.
    const UserProfile lost =
        makeUser("Lost", QUuid::createUuid(), {makeMapping("mouse_5_button", "LEFT_CLICK", pan.id)});
    ProfileStoreSeed::userProfiles(*store).mutate([&](auto& users) { users.append(lost); });
    store->resetMappingsToDefaults(lost.id, shownCopy, std::nullopt);
    mappings = store->userProfiles().get().last().mappings;
    ASSERT_EQ(mappings.size(), 2);
    EXPECT_EQ(mappings[0].toolId, shownCopy.tools[0].id);
    EXPECT_EQ(savesSinceLastCheck(), 2);

    // No defaults for that device: everything stays and nothing is saved.
    store->resetMappingsToDefaults(general.id, synthesis, "speechmike_smp3700");
    EXPECT_EQ(user(0).mappings.size(), 3);
    EXPECT_EQ(savesSinceLastCheck(), 0);
}

TEST_F(EditOperationsTest, RebindingRepointsMappingsByToolName)
{
    store->setPacsProfile(intelerad.id, general.id);
    const UserProfile moved = user(0);
    EXPECT_EQ(moved.pacsProfileId, intelerad.id);
    // Zoom goes to the first of "zoom" and "Zoom", Pan to "PAN", Magnify is dropped.
    EXPECT_EQ(moved.mappings, (QList<ButtonMapping>{{general.mappings[0].id, "tartarus_v2", "K01", intelerad.tools[1].id},
                                                    {general.mappings[1].id, "mouse_5_button", "LEFT_CLICK",
                                                     intelerad.tools[0].id}}));
    EXPECT_EQ(store->activePacsProfileId().get(), intelerad.id);
    EXPECT_EQ(activeChanges, (QStringList{"user", "pacs"}));

    store->setPacsProfile(QUuid::createUuid(), general.id);
    EXPECT_EQ(user(0), moved);
    // From a PACS profile that is gone, the mappings keep their old tool ids.
    const UserProfile lost = makeUser("Lost", QUuid::createUuid(), {makeMapping("tartarus_v2", "K01", pan.id)});
    ProfileStoreSeed::userProfiles(*store).mutate([&](auto& users) { users.append(lost); });
    store->setPacsProfile(synthesis.id, lost.id);
    EXPECT_EQ(store->userProfiles().get().last().mappings, lost.mappings);
}

TEST_F(EditOperationsTest, DeletingAPacsProfileRebindsItsUsersAndKeepsTheLastOne)
{
    store->selectPacsProfile(intelerad.id);
    savesSinceLastCheck();
    store->deletePacsProfile(synthesis);
    EXPECT_EQ(namesOf(store->pacsProfiles().get()), QStringList{"Intelerad"});
    EXPECT_EQ(store->activePacsProfileId().get(), intelerad.id); // it was not the active one
    EXPECT_EQ(user(0).pacsProfileId, intelerad.id);
    EXPECT_EQ(user(0).mappings.size(), 2);
    EXPECT_EQ(user(1), other);
    EXPECT_EQ(savesSinceLastCheck(), 1);

    store->deletePacsProfile(intelerad);
    EXPECT_EQ(store->pacsProfiles().get().size(), 1);
    EXPECT_EQ(savesSinceLastCheck(), 0);
}

TEST_F(EditOperationsTest, DeletingReadsTheStoredToolsNotTheCopyPassedIn)
{
    // The value passed in predates a tool that was added and mapped since.
    const PacsProfile older = synthesis;
    const RadiologyTool added = makeTool("zoom");
    store->upsertTool(added, synthesis.id);
    store->setMapping("tartarus_v2", "K09", added.id, general.id);
    store->selectPacsProfile(synthesis.id);

    store->deletePacsProfile(older);
    EXPECT_EQ(store->activePacsProfileId().get(), intelerad.id);
    const QList<ButtonMapping> moved = user(0).mappings;
    ASSERT_EQ(moved.size(), 3);
    EXPECT_EQ(moved.last().buttonId, "K09");
    EXPECT_EQ(moved.last().toolId, intelerad.tools[1].id);
}

TEST_F(EditOperationsTest, SelectingReadsTheStoredBindingAndDeletingMovesTheActivePair)
{
    const UserProfile staleCopy = other; // taken before the profile was re-bound
    store->setPacsProfile(synthesis.id, other.id);
    store->selectUserProfile(general);
    store->selectPacsProfile(intelerad.id);
    activeChanges.clear();
    store->selectUserProfile(staleCopy);
    EXPECT_EQ(store->activeUserProfileId().get(), other.id);
    EXPECT_EQ(store->activePacsProfileId().get(), synthesis.id);
    EXPECT_EQ(activeChanges, (QStringList{"user", "pacs"}));
    savesSinceLastCheck();
    store->selectUserProfile(makeUser("Nobody", synthesis.id));
    store->deleteUserProfile(QUuid::createUuid());
    EXPECT_EQ(store->userProfiles().get().size(), 2);
    EXPECT_EQ(savesSinceLastCheck(), 0);

    // Deleting an inactive profile leaves both ids alone; deleting the active one
    // makes the first remaining one active, with its PACS profile.
    store->createUserProfile("Third", intelerad.id);
    store->deleteUserProfile(general.id);
    EXPECT_EQ(store->activePacsProfileId().get(), intelerad.id);
    store->deleteUserProfile(store->activeUserProfileId().get());
    EXPECT_EQ(store->activeUserProfileId().get(), other.id);
    EXPECT_EQ(store->activePacsProfileId().get(), synthesis.id);
    store->deleteUserProfile(other.id);
    EXPECT_EQ(store->userProfiles().get().size(), 1);
}
