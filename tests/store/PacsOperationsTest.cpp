#include "StoreOperationsFixture.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

class PacsOperationsTest : public StoreOperationsFixture {
protected:
    void SetUp() override
    {
        StoreOperationsFixture::SetUp();
        install({synthesis, intelerad}, {general, other});
    }
    PacsProfile stored(qsizetype index) const { return store->pacsProfiles.get().at(index); }

    RadiologyTool zoom = makeTool("Zoom");
    RadiologyTool pan = makeTool("Pan");
    RadiologyTool cine = makeTool("Cine");
    PacsProfile synthesis = makePacs("Synthesis", {zoom, pan, cine});
    PacsProfile intelerad = makePacs("Intelerad", {makeTool("PAN"), makeTool("zoom"), makeTool("Zoom")});
    UserProfile general = makeUser("General", synthesis.id,
                                   {makeMapping("tartarus_v2", "K01", zoom.id),
                                    makeMapping("tartarus_v2", "K02", pan.id),
                                    makeMapping("tartarus_v2", "K03", cine.id)});
    // Bound to Intelerad but mapping a Synthesis tool id, as after copying a profile.
    UserProfile other = makeUser("Other", intelerad.id, {makeMapping("tartarus_v2", "K01", zoom.id)});
};

} // namespace

TEST_F(PacsOperationsTest, ToolEditsFindTheToolByIdAndSaveOnlyWhenTheyChangeSomething)
{
    RadiologyTool renamed = pan;
    renamed.name = "Pan Hand";
    store->upsertTool(renamed, synthesis.id);
    const RadiologyTool added = makeTool("Flicker");
    store->upsertTool(added, synthesis.id);
    store->setShortcut(std::nullopt, cine.id, synthesis.id);
    EXPECT_EQ(namesOf(stored(0).tools), (QStringList{"Zoom", "Pan Hand", "Cine", "Flicker"}));
    EXPECT_FALSE(stored(0).tools.at(2).shortcut);
    EXPECT_EQ(savesSinceLastCheck(), 3);
    EXPECT_EQ(profilesOnDisk().pacsProfiles, store->pacsProfiles.get());

    // A tool the profile lacks, or a PACS id that matches nothing: no change, no save.
    const QList<PacsProfile> before = store->pacsProfiles.get();
    store->updateTool(makeTool("Stranger"), synthesis.id);
    store->setShortcut(KeyboardShortcut{}, QUuid::createUuid(), synthesis.id);
    store->upsertTool(added, QUuid::createUuid());
    store->deleteTool(pan.id, QUuid::createUuid());
    EXPECT_EQ(store->pacsProfiles.get(), before);
    EXPECT_EQ(savesSinceLastCheck(), 0);

    // Deleting a tool takes its mappings only from users of that PACS profile.
    store->deleteTool(zoom.id, synthesis.id);
    EXPECT_EQ(namesOf(stored(0).tools), (QStringList{"Pan Hand", "Cine", "Flicker"}));
    EXPECT_EQ(store->userProfiles.get().at(0).mappings, general.mappings.mid(1));
    EXPECT_EQ(store->userProfiles.get().at(1), other);
    EXPECT_EQ(savesSinceLastCheck(), 1);
}

TEST_F(PacsOperationsTest, DeletingAPacsProfileRebindsItsUsersByToolName)
{
    store->activePacsProfileId.set(intelerad.id);
    store->deletePacsProfile(synthesis);
    EXPECT_EQ(namesOf(store->pacsProfiles.get()), QStringList{"Intelerad"});
    EXPECT_EQ(store->activePacsProfileId.get(), intelerad.id); // it was not the active one

    const UserProfile moved = store->userProfiles.get().at(0);
    EXPECT_EQ(moved.pacsProfileId, intelerad.id);
    // Zoom goes to the first of "zoom" and "Zoom", Pan to "PAN", Cine is dropped.
    ASSERT_EQ(moved.mappings.size(), 2);
    EXPECT_EQ(moved.mappings[0], (ButtonMapping{general.mappings[0].id, "tartarus_v2", "K01", intelerad.tools[1].id}));
    EXPECT_EQ(moved.mappings[1].toolId, intelerad.tools[0].id);
    EXPECT_EQ(store->userProfiles.get().at(1), other);
    EXPECT_EQ(savesSinceLastCheck(), 1);

    // The last PACS profile stays.
    store->deletePacsProfile(intelerad);
    EXPECT_EQ(store->pacsProfiles.get().size(), 1);
    EXPECT_EQ(savesSinceLastCheck(), 0);
}

TEST_F(PacsOperationsTest, DeletingReadsTheStoredToolsNotTheCopyPassedIn)
{
    // The value passed in predates a tool that was added and mapped since.
    const PacsProfile older = synthesis;
    const RadiologyTool added = makeTool("zoom");
    store->upsertTool(added, synthesis.id);
    store->setMapping("tartarus_v2", "K09", added.id, general.id);
    store->activePacsProfileId.set(synthesis.id);

    store->deletePacsProfile(older);
    EXPECT_EQ(store->activePacsProfileId.get(), intelerad.id);
    const UserProfile moved = store->userProfiles.get().at(0);
    ASSERT_EQ(moved.mappings.size(), 3);
    EXPECT_EQ(moved.mappings.last().buttonId, "K09");
    EXPECT_EQ(moved.mappings.last().toolId, intelerad.tools[1].id);
}
