#include "StoreOperationsFixture.h"

#include "model/ProfileTemplates.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

class PacsOperationsTest : public StoreOperationsFixture {
protected:
    RadiologyTool zoom = makeTool("Zoom");
    RadiologyTool pan = makeTool("Pan");
    RadiologyTool cine = makeTool("Cine");
    PacsProfile synthesis = makePacs("Synthesis", {zoom, pan, cine});
    PacsProfile intelerad = makePacs("Intelerad", {makeTool("PAN"), makeTool("zoom"), makeTool("Zoom")});
    UserProfile general = makeUser("General", synthesis.id,
                                   {makeMapping("tartarus_v2", "K01", zoom.id), makeMapping("tartarus_v2", "K02", pan.id),
                                    makeMapping("tartarus_v2", "K03", cine.id)});
    UserProfile other = makeUser("Other", intelerad.id, {makeMapping("tartarus_v2", "K01", zoom.id)});

    void installSample() { install({synthesis, intelerad}, {general, other}); }
    PacsProfile stored(const QUuid& id) const
    {
        for (const PacsProfile& p : store->pacsProfiles.get())
            if (p.id == id)
                return p;
        return {};
    }
};

} // namespace

TEST_F(PacsOperationsTest, ActivePacsProfileFallsBackToTheFirstThenToAFreshBuiltIn)
{
    installSample();
    store->activePacsProfileId.set(QUuid::createUuid());
    EXPECT_EQ(store->activePacsProfile(), synthesis);

    store->pacsProfiles.set({});
    const PacsProfile first = store->activePacsProfile();
    EXPECT_EQ(first.name, "Synthesis");
    EXPECT_NE(store->activePacsProfile().id, first.id);
    EXPECT_TRUE(store->pacsProfiles.get().isEmpty());
    EXPECT_EQ(savesSinceLastCheck(), 0);
}

TEST_F(PacsOperationsTest, ToolEditsReplaceInPlaceAppendOnlyOnUpsertAndSaveOnlyWhenFound)
{
    installSample();
    RadiologyTool renamed = pan;
    renamed.name = "Pan Hand";
    store->upsertTool(renamed, synthesis.id);
    EXPECT_EQ(namesOf(stored(synthesis.id).tools), (QStringList{"Zoom", "Pan Hand", "Cine"}));
    const RadiologyTool added = makeTool("Flicker");
    store->upsertTool(added, synthesis.id);
    EXPECT_EQ(stored(synthesis.id).tools.last(), added);
    EXPECT_EQ(savesSinceLastCheck(), 2);

    // A tool the profile lacks, or a PACS id that matches nothing: no change, no save.
    const QList<PacsProfile> before = store->pacsProfiles.get();
    store->updateTool(makeTool("Stranger"), synthesis.id);
    store->setShortcut(KeyboardShortcut{}, QUuid::createUuid(), synthesis.id);
    store->upsertTool(added, QUuid::createUuid());
    store->setDefaultLightingHex("#000000", QUuid::createUuid());
    EXPECT_EQ(store->pacsProfiles.get(), before);
    EXPECT_EQ(savesSinceLastCheck(), 0);

    RadiologyTool changed = zoom;
    changed.isFavorite = true;
    store->updateTool(changed, synthesis.id);
    store->setShortcut(std::nullopt, cine.id, synthesis.id);
    EXPECT_EQ(stored(synthesis.id).tools.first(), changed);
    EXPECT_FALSE(stored(synthesis.id).tools.at(2).shortcut);
    EXPECT_EQ(savesSinceLastCheck(), 2);
    EXPECT_EQ(profilesOnDisk().pacsProfiles, store->pacsProfiles.get());
}

TEST_F(PacsOperationsTest, DeletingAToolRemovesItsMappingsOnlyFromUsersOfThatProfile)
{
    installSample();
    // Intelerad's user maps the same tool id: a copied profile shares ids.
    store->deleteTool(zoom.id, synthesis.id);
    EXPECT_EQ(namesOf(stored(synthesis.id).tools), (QStringList{"Pan", "Cine"}));
    EXPECT_EQ(store->userProfiles.get().at(0).mappings, general.mappings.mid(1));
    EXPECT_EQ(store->userProfiles.get().at(1).mappings, other.mappings);
    EXPECT_EQ(savesSinceLastCheck(), 1);

    store->deleteTool(QUuid::createUuid(), synthesis.id);
    EXPECT_EQ(savesSinceLastCheck(), 1);
    store->deleteTool(pan.id, QUuid::createUuid());
    EXPECT_EQ(savesSinceLastCheck(), 0);
}

TEST_F(PacsOperationsTest, CreateDuplicateRenameAndSelect)
{
    installSample();
    store->createPacsProfile("SYNTHESIS");
    const PacsProfile created = store->pacsProfiles.get().last();
    EXPECT_EQ(created.defaultLightingHex, "#7800D1");
    EXPECT_EQ(created.tools, synthesis.tools); // same tool ids as the first profile
    EXPECT_EQ(store->activePacsProfileId.get(), created.id);

    // The stored profile is copied; the name comes from the value passed in.
    PacsProfile shown = intelerad;
    shown.tools.clear();
    store->setDefaultLightingHex("not a colour", intelerad.id);
    store->duplicatePacsProfile(shown);
    const PacsProfile copy = store->pacsProfiles.get().last();
    EXPECT_EQ(copy.name, "Intelerad Copy");
    EXPECT_EQ(copy.tools, intelerad.tools);
    EXPECT_EQ(copy.defaultLightingHex, "not a colour");
    EXPECT_NE(copy.id, intelerad.id);
    EXPECT_EQ(store->activePacsProfileId.get(), copy.id);

    store->renamePacsProfile(copy.id, "  ");
    EXPECT_EQ(store->pacsProfiles.get().last().name, "  ");
    store->selectPacsProfile(synthesis.id);
    EXPECT_EQ(store->activePacsProfileId.get(), synthesis.id);
    EXPECT_EQ(savesSinceLastCheck(), 5);

    store->selectPacsProfile(QUuid::createUuid());
    store->duplicatePacsProfile(makePacs("Synthesis"));
    store->renamePacsProfile(QUuid::createUuid(), "x");
    EXPECT_EQ(store->activePacsProfileId.get(), synthesis.id);
    EXPECT_EQ(savesSinceLastCheck(), 0);

    // Without any PACS profile the catalogue supplies the tools.
    store->pacsProfiles.set({});
    store->createPacsProfile("Mine");
    EXPECT_EQ(store->pacsProfiles.get().first().tools, RadiologyTool::defaultTools());
    EXPECT_FALSE(store->pacsProfiles.get().first().defaultLightingHex);
}

TEST_F(PacsOperationsTest, DeletingAPacsProfileRebindsItsUsersByToolName)
{
    installSample();
    store->activePacsProfileId.set(intelerad.id);
    store->deletePacsProfile(synthesis);
    EXPECT_EQ(namesOf(store->pacsProfiles.get()), QStringList{"Intelerad"});
    // Deleting an inactive profile leaves the active id alone.
    EXPECT_EQ(store->activePacsProfileId.get(), intelerad.id);

    const UserProfile moved = store->userProfiles.get().at(0);
    EXPECT_EQ(moved.pacsProfileId, intelerad.id);
    // Zoom goes to the first of "zoom" and "Zoom", Pan to "PAN", Cine is dropped.
    ASSERT_EQ(moved.mappings.size(), 2);
    EXPECT_EQ(moved.mappings[0].toolId, intelerad.tools[1].id);
    EXPECT_EQ(moved.mappings[0].id, general.mappings[0].id);
    EXPECT_EQ(moved.mappings[1].toolId, intelerad.tools[0].id);
    EXPECT_EQ(store->userProfiles.get().at(1), other);
    EXPECT_EQ(savesSinceLastCheck(), 1);

    // The last one stays.
    store->deletePacsProfile(intelerad);
    EXPECT_EQ(store->pacsProfiles.get().size(), 1);
    EXPECT_EQ(savesSinceLastCheck(), 0);
}

TEST_F(PacsOperationsTest, DeletingTheActivePacsProfileUsesItsStoredToolsNotAnOlderCopy)
{
    installSample();
    // The value passed in predates a tool that was added and mapped since.
    const PacsProfile older = synthesis;
    RadiologyTool added = makeTool("zoom");
    store->upsertTool(added, synthesis.id);
    store->setMapping("tartarus_v2", "K09", added.id, general.id);
    store->activePacsProfileId.set(synthesis.id);

    store->deletePacsProfile(older);
    EXPECT_EQ(store->activePacsProfileId.get(), intelerad.id);
    const UserProfile moved = store->userProfiles.get().at(0);
    ASSERT_EQ(moved.mappings.size(), 3);
    EXPECT_EQ(moved.mappings.last().buttonId, "K09");
    EXPECT_EQ(moved.mappings.last().toolId, intelerad.tools[1].id);

    // A value that matches no stored profile still re-binds users of its id.
    UserProfile orphan = makeUser("Orphan", QUuid::createUuid(), {makeMapping("tartarus_v2", "K01", zoom.id)});
    store->userProfiles.mutate([&](auto& users) { users.append(orphan); });
    store->createPacsProfile("Spare");
    PacsProfile gone = synthesis;
    gone.id = orphan.pacsProfileId;
    store->deletePacsProfile(gone);
    EXPECT_EQ(store->userProfiles.get().last().pacsProfileId, intelerad.id);
    EXPECT_EQ(store->userProfiles.get().last().mappings.first().toolId, intelerad.tools[1].id);
}
