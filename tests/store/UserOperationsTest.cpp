#include "StoreOperationsFixture.h"

#include "model/ProfileTemplates.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

class UserOperationsTest : public StoreOperationsFixture {
protected:
    RadiologyTool zoom = makeTool("Zoom");
    RadiologyTool pan = makeTool("Pan");
    RadiologyTool magnify = makeTool("Magnify");
    PacsProfile synthesis = makePacs("Synthesis", {zoom, pan, magnify});
    PacsProfile intelerad = makePacs("Intelerad", {makeTool("zoom"), makeTool("Magnify")});
    UserProfile general = makeUser("General", synthesis.id,
                                   {makeMapping("tartarus_v2", "K01", zoom.id), makeMapping("mouse_5_button", "LEFT_CLICK", pan.id),
                                    makeMapping("tartarus_v2", "K05", pan.id)});
    UserProfile other = makeUser("Other", intelerad.id);

    void installSample() { install({synthesis, intelerad}, {general, other}); }
    UserProfile user(qsizetype index) const { return store->userProfiles.get().at(index); }
    // The order in which the two active ids change.
    QStringList recordActiveChanges()
    {
        changes.clear();
        watches.clear();
        watches.push_back(store->activeUserProfileId.subscribe([this](const QUuid&) { changes << "user"; }));
        watches.push_back(store->activePacsProfileId.subscribe([this](const QUuid&) { changes << "pacs"; }));
        changes.clear();
        return changes;
    }
    QStringList changes;
    std::vector<Subscription> watches;
};

} // namespace

TEST_F(UserOperationsTest, ActiveUserProfileFallsBackWithoutStoringAnything)
{
    installSample();
    store->activeUserProfileId.set(QUuid::createUuid());
    EXPECT_EQ(store->activeUserProfile(), general);

    store->userProfiles.set({});
    const UserProfile fallback = store->activeUserProfile();
    EXPECT_EQ(fallback.name, "Radiologist - General");
    EXPECT_EQ(fallback.pacsProfileId, synthesis.id);

    store->pacsProfiles.set({});
    const UserProfile bare = store->activeUserProfile();
    EXPECT_EQ(bare.name, "Default");
    EXPECT_EQ(bare.pacsProfileId, store->activePacsProfileId.get());
    EXPECT_NE(store->activeUserProfile().id, bare.id);
    EXPECT_TRUE(store->userProfiles.get().isEmpty());
}

TEST_F(UserOperationsTest, CreatedProfileTakesTheDefaultsOfItsPacsProfileAndBecomesActive)
{
    addDefaultMappings();
    installSample();
    store->activePacsProfileId.set(synthesis.id);
    recordActiveChanges();
    store->createUserProfile("Night");
    const UserProfile created = store->userProfiles.get().last();
    EXPECT_EQ(created.name, "Night");
    EXPECT_EQ(created.pacsProfileId, synthesis.id);
    EXPECT_EQ(created.selectedDeviceId, "tartarus_v2");
    ASSERT_EQ(created.mappings.size(), 2);
    EXPECT_EQ(created.mappings[0].toolId, pan.id);
    EXPECT_EQ(created.mappings[1].toolId, magnify.id);
    EXPECT_EQ(store->activeUserProfileId.get(), created.id);
    EXPECT_EQ(changes, (QStringList{"user", "pacs"}));
    EXPECT_EQ(savesSinceLastCheck(), 1);
    EXPECT_EQ(profilesOnDisk().userProfiles.last(), created);
}

TEST_F(UserOperationsTest, MappingEditsKeepOneMappingPerButtonAndTheOrderOfTheRest)
{
    installSample();
    store->setMapping("tartarus_v2", "K01", magnify.id, general.id);
    store->setMapping("tartarus_v2", "K01", pan.id, general.id);
    QList<ButtonMapping> mappings = user(0).mappings;
    ASSERT_EQ(mappings.size(), 3);
    EXPECT_EQ(mappings.mid(0, 2), general.mappings.mid(1));
    EXPECT_EQ(mappings[2].buttonId, "K01");
    EXPECT_EQ(mappings[2].toolId, pan.id);
    EXPECT_NE(mappings[2].id, general.mappings[0].id);

    // Letter case of ids counts: "k05" is another button.
    store->removeMapping("tartarus_v2", "k05", general.id);
    EXPECT_EQ(user(0).mappings.size(), 3);
    store->clearMappings("tartarus_v2", general.id);
    EXPECT_EQ(user(0).mappings, general.mappings.mid(1, 1));
    store->clearMappings(std::nullopt, general.id);
    EXPECT_TRUE(user(0).mappings.isEmpty());
    EXPECT_EQ(savesSinceLastCheck(), 5);

    store->setMapping("tartarus_v2", "K01", pan.id, QUuid::createUuid());
    store->clearMappings(std::nullopt, QUuid::createUuid());
    store->setSelectedDeviceId("mouse_5_button", QUuid::createUuid());
    EXPECT_EQ(savesSinceLastCheck(), 0);

    store->setSelectedDeviceId(std::nullopt, general.id);
    store->setLightingHex("#12345", general.id);
    EXPECT_FALSE(user(0).selectedDeviceId);
    EXPECT_EQ(user(0).lightingHex, "#12345");
}

TEST_F(UserOperationsTest, ResetUsesTheBoundPacsProfileAndTheArgumentOnlyWhenThatIsGone)
{
    addDefaultMappings();
    // A second profile named Synthesis with other tool ids, as the window might show.
    const PacsProfile shownCopy = makePacs("Synthesis", {makeTool("Pan"), makeTool("Magnify")});
    installSample();

    store->resetMappingsToDefaults(general.id, shownCopy, "tartarus_v2");
    QList<ButtonMapping> mappings = user(0).mappings;
    // The mouse mapping stays; the keypad gets the defaults on the bound profile's tools.
    ASSERT_EQ(mappings.size(), 3);
    EXPECT_EQ(mappings[0], general.mappings[1]);
    EXPECT_EQ(mappings[1].toolId, pan.id);
    EXPECT_EQ(mappings[2].toolId, magnify.id);
    EXPECT_EQ(savesSinceLastCheck(), 1);

    // Bound to a PACS profile that no longer exists: the argument's tools serve.
    UserProfile lost = makeUser("Lost", QUuid::createUuid(), {makeMapping("mouse_5_button", "LEFT_CLICK", pan.id)});
    store->userProfiles.mutate([&](auto& users) { users.append(lost); });
    store->resetMappingsToDefaults(lost.id, shownCopy, std::nullopt);
    mappings = store->userProfiles.get().last().mappings;
    ASSERT_EQ(mappings.size(), 2);
    EXPECT_EQ(mappings[0].toolId, shownCopy.tools[0].id);
    EXPECT_EQ(savesSinceLastCheck(), 1);

    // No defaults for that device: everything stays and nothing is saved.
    store->resetMappingsToDefaults(general.id, synthesis, "speechmike_smp3700");
    store->resetMappingsToDefaults(QUuid::createUuid(), synthesis, std::nullopt);
    EXPECT_EQ(user(0).mappings.size(), 3);
    EXPECT_EQ(savesSinceLastCheck(), 0);
}

TEST_F(UserOperationsTest, RebindingRepointsMappingsByToolName)
{
    installSample();
    recordActiveChanges();
    store->setPacsProfile(intelerad.id, general.id);
    const UserProfile moved = user(0);
    EXPECT_EQ(moved.pacsProfileId, intelerad.id);
    // Zoom finds "zoom"; Pan has no namesake and is dropped.
    ASSERT_EQ(moved.mappings.size(), 1);
    EXPECT_EQ(moved.mappings[0].toolId, intelerad.tools[0].id);
    EXPECT_EQ(store->activeUserProfileId.get(), general.id);
    EXPECT_EQ(store->activePacsProfileId.get(), intelerad.id);
    EXPECT_EQ(changes, (QStringList{"user", "pacs"}));
    EXPECT_EQ(savesSinceLastCheck(), 1);

    // An unknown target changes nothing.
    store->setPacsProfile(QUuid::createUuid(), general.id);
    EXPECT_EQ(user(0), moved);
    EXPECT_EQ(savesSinceLastCheck(), 0);

    // From a PACS profile that is gone, the mappings keep their old tool ids.
    UserProfile lost = makeUser("Lost", QUuid::createUuid(), {makeMapping("tartarus_v2", "K01", pan.id)});
    store->userProfiles.mutate([&](auto& users) { users.append(lost); });
    store->setPacsProfile(synthesis.id, lost.id);
    EXPECT_EQ(store->userProfiles.get().last().mappings, lost.mappings);
}

TEST_F(UserOperationsTest, SelectingReadsTheStoredBindingAndDeletingMovesTheActivePair)
{
    installSample();
    // A copy taken before the profile was re-bound.
    const UserProfile staleCopy = other;
    store->setPacsProfile(synthesis.id, other.id);
    store->activeUserProfileId.set(general.id);
    store->activePacsProfileId.set(intelerad.id);
    recordActiveChanges();
    store->selectUserProfile(staleCopy);
    EXPECT_EQ(store->activeUserProfileId.get(), other.id);
    EXPECT_EQ(store->activePacsProfileId.get(), synthesis.id);
    EXPECT_EQ(changes, (QStringList{"user", "pacs"}));

    savesSinceLastCheck();
    store->selectUserProfile(makeUser("Nobody", synthesis.id));
    EXPECT_EQ(store->activeUserProfileId.get(), other.id);
    EXPECT_EQ(savesSinceLastCheck(), 0);

    // Deleting an inactive profile leaves both ids alone.
    store->activePacsProfileId.set(intelerad.id);
    store->createUserProfile("Third", intelerad.id);
    store->deleteUserProfile(general.id);
    EXPECT_EQ(store->activePacsProfileId.get(), intelerad.id);
    // Deleting the active one makes the first remaining active, with its PACS profile.
    store->deleteUserProfile(store->activeUserProfileId.get());
    EXPECT_EQ(store->activeUserProfileId.get(), other.id);
    EXPECT_EQ(store->activePacsProfileId.get(), synthesis.id);
    EXPECT_EQ(savesSinceLastCheck(), 3);

    store->deleteUserProfile(other.id);
    EXPECT_EQ(store->userProfiles.get().size(), 1);
    store->renameUserProfile(other.id, "Renamed\n");
    EXPECT_EQ(user(0).name, "Renamed\n");
    EXPECT_EQ(savesSinceLastCheck(), 1);
}
