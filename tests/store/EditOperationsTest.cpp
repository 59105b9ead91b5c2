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
    QUuid activePacs() const { return store->activePacsProfileId().get(); }

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

TEST_F(EditOperationsTest, ToolEditsFindTheToolByIdAndDeletingOneUnmapsItOnlyForItsProfile)
{
    RadiologyTool renamed = pan;
    renamed.name = "Pan Hand";
    store->upsertTool(renamed, synthesis.id);
    store->upsertTool(makeTool("Flicker"), synthesis.id);
    store->setShortcut(KeyboardShortcut{}, magnify.id, synthesis.id);
    // A tool the profile lacks, or a PACS id that matches nothing: no change, no save.
    store->updateTool(makeTool("Stranger"), synthesis.id);
    store->upsertTool(pan, QUuid::createUuid());
    store->deleteTool(pan.id, QUuid::createUuid());
    EXPECT_EQ(savesSinceLastCheck(), 3);

    store->deleteTool(zoom.id, synthesis.id);
    EXPECT_EQ(namesOf(store->pacsProfiles().get().at(0).tools), (QStringList{"Pan Hand", "Magnify", "Flicker"}));
    EXPECT_EQ(store->pacsProfiles().get().at(0).tools.at(1).shortcut, KeyboardShortcut{});
    EXPECT_EQ(user(0).mappings, general.mappings.mid(1));
    EXPECT_EQ(user(1), other);
}

TEST_F(EditOperationsTest, MappingEditsKeepOneMappingPerButtonAndResetUsesTheBoundProfilesTools)
{
    store->setMapping("tartarus_v2", "K01", magnify.id, general.id);
    store->setMapping("tartarus_v2", "K01", pan.id, general.id);
    ASSERT_EQ(user(0).mappings.size(), 3);
    EXPECT_EQ(user(0).mappings.mid(0, 2), general.mappings.mid(1));
    EXPECT_NE(user(0).mappings[2].id, general.mappings[0].id);
    EXPECT_EQ(toolIdsOf(user(0)).last(), pan.id);
    // Ids compare with their letter case.
    store->removeMapping("mouse_5_button", "left_click", general.id);
    store->removeMapping("tartarus_v2", "K01", general.id);
    store->clearMappings("tartarus_v2", general.id);
    EXPECT_EQ(user(0).mappings, general.mappings.mid(1, 1));

    // Another profile named Synthesis, with other tool ids, as a window might pass:
    // the keypad gets the defaults on the bound profile's tools, the mouse stays.
    addDefaultMappings();
    const PacsProfile shownCopy = makePacs("Synthesis", {makeTool("Pan"), makeTool("Magnify")});
    store->resetMappingsToDefaults(general.id, shownCopy, "tartarus_v2");
    EXPECT_EQ(toolIdsOf(user(0)), (QList<QUuid>{pan.id, pan.id, magnify.id}));
    // Bound to a PACS profile that is gone, the argument's tools serve; without a
    // device every device's mappings give way.
    store->setPacsProfile(intelerad.id, general.id);
    ProfileStoreSeed::pacsProfiles(*store).mutate([](auto& profiles) { profiles.removeLast(); });
    store->resetMappingsToDefaults(general.id, shownCopy, std::nullopt);
    EXPECT_EQ(toolIdsOf(user(0)), (QList<QUuid>{shownCopy.tools[0].id, shownCopy.tools[1].id}));
    EXPECT_EQ(savesSinceLastCheck(), 8);

    // No defaults for that device, or no such user: nothing changes, nothing is saved.
    store->resetMappingsToDefaults(general.id, synthesis, "speechmike_smp3700");
    store->clearMappings(std::nullopt, QUuid::createUuid());
    EXPECT_EQ(user(0).mappings.size(), 2);
    EXPECT_EQ(savesSinceLastCheck(), 0);
}

TEST_F(EditOperationsTest, RebindingAndDeletingAPacsProfileRepointMappingsByToolName)
{
    store->setPacsProfile(intelerad.id, general.id);
    // Zoom goes to the first of "zoom" and "Zoom", Pan to "PAN", Magnify is dropped.
    EXPECT_EQ(toolIdsOf(user(0)), (QList<QUuid>{intelerad.tools[1].id, intelerad.tools[0].id}));
    EXPECT_EQ(activePacs(), intelerad.id);
    EXPECT_EQ(activeChanges, (QStringList{"user", "pacs"}));
    store->setPacsProfile(QUuid::createUuid(), general.id);
    EXPECT_EQ(user(0).pacsProfileId, intelerad.id);
    // From a PACS profile that is gone, the mappings keep their old tool ids.
    const UserProfile lost = makeUser("Lost", QUuid::createUuid(), {makeMapping("tartarus_v2", "K01", pan.id)});
    ProfileStoreSeed::userProfiles(*store).mutate([&](auto& users) { users.append(lost); });
    store->setPacsProfile(synthesis.id, lost.id);
    EXPECT_EQ(user(2).mappings, lost.mappings);

    // Deleting reads the stored tools: the value passed in predates a tool mapped since.
    const RadiologyTool added = makeTool("MAGNIFY");
    store->upsertTool(added, intelerad.id);
    store->setMapping("tartarus_v2", "K09", added.id, general.id);
    store->selectPacsProfile(intelerad.id);
    savesSinceLastCheck();
    store->deletePacsProfile(intelerad);
    EXPECT_EQ(namesOf(store->pacsProfiles().get()), QStringList{"Synthesis"});
    EXPECT_EQ(activePacs(), synthesis.id);
    EXPECT_EQ(user(0).pacsProfileId, synthesis.id);
    EXPECT_EQ(toolIdsOf(user(0)), (QList<QUuid>{zoom.id, pan.id, magnify.id}));
    EXPECT_TRUE(user(1).mappings.isEmpty()); // ids are never matched directly
    EXPECT_EQ(user(2).mappings, lost.mappings);
    EXPECT_EQ(savesSinceLastCheck(), 1);
    // The last one stays.
    store->deletePacsProfile(synthesis);
    EXPECT_EQ(store->pacsProfiles().get().size(), 1);
    EXPECT_EQ(savesSinceLastCheck(), 0);
}

TEST_F(EditOperationsTest, SelectingReadsTheStoredBindingAndDeletingMovesTheActivePair)
{
    const UserProfile staleCopy = other; // taken before the profile was re-bound
    store->setPacsProfile(synthesis.id, other.id);
    store->selectUserProfile(general);
    store->selectPacsProfile(intelerad.id);
    activeChanges.clear();
    store->selectUserProfile(staleCopy);
    EXPECT_EQ(activePacs(), synthesis.id);
    EXPECT_EQ(activeChanges, (QStringList{"user", "pacs"}));
    savesSinceLastCheck();
    store->selectUserProfile(makeUser("Nobody", synthesis.id));
    store->deleteUserProfile(QUuid::createUuid());
    EXPECT_EQ(savesSinceLastCheck(), 0);

    // Deleting an inactive profile leaves both ids alone; deleting the active one
    // makes the first remaining one active, with its PACS profile.
    store->createUserProfile("Third", intelerad.id);
    store->deleteUserProfile(general.id);
    EXPECT_EQ(activePacs(), intelerad.id);
    store->deleteUserProfile(store->activeUserProfileId().get());
    EXPECT_EQ(store->activeUserProfileId().get(), other.id);
    EXPECT_EQ(activePacs(), synthesis.id);
    store->deleteUserProfile(other.id);
    EXPECT_EQ(store->userProfiles().get().size(), 1);
}
