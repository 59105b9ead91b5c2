#include "StoreOperationsFixture.h"

#include "model/AddedBackIds.h"
#include "store/ProfileLookup.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

using ProfileNormalizationTest = StoreOperationsFixture;

TEST_F(ProfileNormalizationTest, BuiltInProfilesAreMergedIntoTheFirstOfTheirNameAndTheUsersOwnStay)
{
    const QList<RadiologyTool> catalogue = RadiologyTool::defaultTools();
    RadiologyTool renamedBuiltIn = catalogue.at(0);
    renamedBuiltIn.name = "My Window";
    const RadiologyTool invert = makeTool("Invert");
    const PacsProfile synthesis = makePacs("SYNTHESIS", {invert, renamedBuiltIn, invert, makeTool("PAN")});
    const PacsProfile variant = makePacs("synthesis", {makeTool("invert")});
    ProfileStoreSeed::pacsProfiles(*store).set({synthesis, variant});
    ProfileStoreSeed::userProfiles(*store).set({makeUser("A", variant.id), makeUser("B", QUuid::createUuid())});
    ProfileStoreSeed::activePacsProfileId(*store).set(QUuid::createUuid());

    EXPECT_TRUE(ProfileStoreSeed::normalizeProfiles(*store));
    const QList<PacsProfile> pacs = store->pacsProfiles().get();
    EXPECT_EQ(namesOf(pacs), (QStringList{"SYNTHESIS", "synthesis", "Intelerad", "eUnity", "Change Healthcare"}));
    // Legacy names upgraded, repeated ids dropped, built-in tools missing by name and
    // by id appended; only the first profile of the name is merged.
    EXPECT_EQ(namesOf(pacs.at(0).tools.mid(0, 3)), (QStringList{"Invert Grayscale", "My Window", "PAN"}));
    EXPECT_EQ(pacs.at(0).tools.at(0).id, invert.id);
    EXPECT_EQ(pacs.at(0).tools.size(), 3 + catalogue.size() - 3);
    EXPECT_EQ(namesOf(pacs.at(1).tools), QStringList{"invert"});
    // Users of a kept profile stay bound to it; orphans, and the active id, go to the first profile.
    EXPECT_EQ(user(0).pacsProfileId, variant.id);
    EXPECT_EQ(user(1).pacsProfileId, synthesis.id);
    EXPECT_EQ(store->activePacsProfileId().get(), synthesis.id);
    EXPECT_FALSE(ProfileStoreSeed::normalizeProfiles(*store));
}

TEST_F(ProfileNormalizationTest, LightingAndUserNamesFollowTheNamesAndCategoriesStay)
{
    // A lighting the user set stays; a missing one is filled where the name has one.
    QList<PacsProfile> pacs = store->pacsProfiles().get();
    RadiologyTool windowLevel = makeTool("Window/Level");
    windowLevel.category = ToolCategory::mammo;
    pacs[1].tools = {makeTool("Exam List"), windowLevel, makeTool("TOMO vs. Standard Views")};
    pacs[1].defaultLightingHex = "#123456";
    pacs[0].defaultLightingHex.reset();
    const QUuid synthesisId = pacs[0].id;
    install(pacs, {makeUser("SYNTHESIS", synthesisId)});
    EXPECT_TRUE(ProfileStoreSeed::normalizeProfiles(*store));
    pacs = store->pacsProfiles().get();
    EXPECT_EQ(pacs[0].defaultLightingHex, QString("#7800D1"));
    EXPECT_EQ(pacs[1].defaultLightingHex, QString("#123456"));
    EXPECT_EQ(pacs[3].defaultLightingHex, std::nullopt);
    // A category stored is the user's, whatever the name implies.
    EXPECT_EQ(pacs[1].tools[0].category, ToolCategory::viewer);
    EXPECT_EQ(pacs[1].tools[1].category, ToolCategory::mammo);
    EXPECT_EQ(pacs[1].tools[2].category, ToolCategory::viewer);

    // A lone "Synthesis" user, and any "Default", take the current default name.
    EXPECT_EQ(user(0).name, "Radiologist - General");
    ProfileStoreSeed::userProfiles(*store).set({makeUser("synthesis", synthesisId), makeUser("DeFault", synthesisId),
                                                makeUser("default ", synthesisId)});
    EXPECT_TRUE(ProfileStoreSeed::normalizeProfiles(*store));
    EXPECT_EQ(namesOf(store->userProfiles().get()), (QStringList{"synthesis", "Radiologist - General", "default "}));
    // None at all: one is created on the first profile, and made active.
    ProfileStoreSeed::userProfiles(*store).set({});
    EXPECT_TRUE(ProfileStoreSeed::normalizeProfiles(*store));
    ASSERT_EQ(store->userProfiles().get().size(), 1);
    EXPECT_EQ(store->activeUserProfileId().get(), user(0).id);
    EXPECT_EQ(user(0).pacsProfileId, synthesisId);

    // The active PACS profile follows the active user, a missing user the first one.
    install(pacs, {user(0), makeUser("Dr. A", pacs.at(2).id)});
    ProfileStoreSeed::activeUserProfileId(*store).set(user(1).id);
    store->repairActiveSelection();
    EXPECT_EQ(store->activePacsProfileId().get(), pacs.at(2).id);
    ProfileStoreSeed::activeUserProfileId(*store).set(QUuid::createUuid());
    store->repairActiveSelection();
    EXPECT_EQ(store->activeUserProfileId().get(), user(0).id);
    EXPECT_EQ(store->activePacsProfileId().get(), synthesisId);
}

TEST_F(ProfileNormalizationTest, DefaultMappingsFillOnlyButtonsWithoutAMapping)
{
    addDefaultMappings();
    store = start();
    const QList<RadiologyTool> tools = store->pacsProfiles().get().at(0).tools;
    const auto toolId = [&](const QString& name) { return tools.at(namesOf(tools).indexOf(name)).id; };
    // A fresh install gets the defaults.
    EXPECT_EQ(toolIdsOf(user(0)), (QList<QUuid>{toolId("Pan"), toolId("Magnify")}));

    // The user's own mapping of a default button stays, as do extra mappings; only
    // the default button without a mapping is filled, at the end, without an upload
    // when a remote apply asks so.
    const QList<ButtonMapping> own{makeMapping("tartarus_v2", "K01", toolId("Measure")),
                                   makeMapping("speechmike_smp3700", "REC", toolId("Mic On/Off")),
                                   makeMapping("tartarus_v2", "K09", toolId("Cine"))};
    ProfileStoreSeed::userProfiles(*store).mutate([&](auto& users) { users.first().mappings = own; });
    queue->runUntilIdle();
    saveCalls = 0;
    store->normalizeAllMappings(true);
    const QList<ButtonMapping> mappings = user(0).mappings;
    ASSERT_EQ(mappings.size(), 4);
    EXPECT_EQ(mappings.mid(0, 3), own);
    EXPECT_EQ(mappings[3].buttonId, "K02");
    EXPECT_EQ(mappings[3].toolId, toolId("Magnify"));
    EXPECT_EQ(profilesOnDisk().userProfiles, store->userProfiles().get());
    queue->runUntilIdle();
    EXPECT_EQ(saveCalls, 0);

    // Nothing left to fill: nothing saved.
    disk->clearChanges();
    store->normalizeAllMappings(false);
    EXPECT_EQ(user(0).mappings, mappings);
    EXPECT_TRUE(disk->changes().isEmpty());
}

// The profiles with every mapping's id blanked: default mappings get fresh ids each time.
LoadResult withoutMappingIds(LoadResult profiles)
{
    for (UserProfile& user : profiles.userProfiles)
        for (ButtonMapping& mapping : user.mappings)
            mapping.id = QUuid();
    return profiles;
}

// A taken document repaired away from the store (on the decoder's thread) leaves the
// store as repairing it in the store does: built-ins merged and added back, categories,
// bindings, names, the active pair and default mappings; one without profiles of a
// kind is repaired by the store, which alone knows what it keeps then.
TEST_F(ProfileNormalizationTest, ADocumentRepairedElsewhereIsTakenAsTheStoreWouldRepairIt)
{
    addDefaultMappings();
    store = start();
    queue->runUntilIdle();
    RadiologyTool examList = makeTool("Exam List");
    examList.category = ToolCategory::mammo;
    const PacsProfile synthesis = makePacs("synthesis", {makeTool("Invert"), examList, makeTool("Invert")});
    const PacsProfile room = makePacs("Reading Room", {makeTool("Zoom")});
    LoadResult document;
    document.pacsProfiles = {room, synthesis};
    document.userProfiles = {makeUser("Default", QUuid::createUuid()), makeUser("Lee", synthesis.id),
                             makeUser("Kim", room.id, {makeMapping("tartarus_v2", "K01", room.tools.at(0).id)})};
    document.activeUserProfileId = document.userProfiles.at(1).id;

    const auto taken = [&](const auto& what) {
        store->applySyncPayload(what, std::nullopt, {});
        queue->runUntilIdle();
        return store->snapshot();
    };
    const LoadResult here = taken(document);
    const RepairedDocument repaired = ProfileStore::repaired(document);
    EXPECT_EQ(withoutMappingIds(repaired.document()), withoutMappingIds(here)) << "repaired as the store repairs";
    store = start();
    queue->runUntilIdle();
    const LoadResult there = taken(repaired);
    EXPECT_EQ(withoutMappingIds(there), withoutMappingIds(here));
    EXPECT_EQ(there.userProfiles, repaired.document().userProfiles) << "taken as it was repaired";
    EXPECT_EQ(user(1).mappings.size(), 2) << "default mappings filled";
    EXPECT_EQ(store->activePacsProfileId().get(), synthesis.id) << "the active user's PACS profile";
    EXPECT_EQ(profilesOnDisk().userProfiles, there.userProfiles);

    LoadResult noUsers = document;
    noUsers.userProfiles.clear();
    store = start();
    queue->runUntilIdle();
    const LoadResult byStore = taken(noUsers);
    EXPECT_EQ(ProfileStore::repaired(noUsers).document(), noUsers) << "left to the store";
    store = start();
    queue->runUntilIdle();
    const LoadResult viaRepaired = taken(ProfileStore::repaired(noUsers));
    EXPECT_EQ(viaRepaired.pacsProfiles, byStore.pacsProfiles);
    EXPECT_EQ(namesOf(viaRepaired.userProfiles), namesOf(byStore.userProfiles));
}

TEST_F(ProfileNormalizationTest, ReloadInstallsTheFileOrTheBuiltInsWithoutNeedlessWrites)
{
    store->renameUserProfile(user(0).id, "Saved");
    queue->runUntilIdle();
    const QList<UserProfile> saved = store->userProfiles().get();
    // An unchanged file: nothing written, lastSaved shows the file's time.
    ProfileStoreSeed::userProfiles(*store).mutate([](QList<UserProfile>& users) { users.first().name = "Unsaved"; });
    ProfileStoreSeed::lastSaved(*store).set(std::nullopt);
    disk->clearChanges();
    store->reloadFromDisk();
    EXPECT_EQ(store->userProfiles().get(), saved);
    EXPECT_TRUE(disk->changes().isEmpty());
    EXPECT_EQ(store->lastSaved().get(), QFileInfo(profilesPath()).lastModified().toUTC());

    // No file: the built-in profiles, nothing written, lastSaved kept.
    QFile::remove(profilesPath());
    const auto lastSaved = store->lastSaved().get();
    store->reloadFromDisk();
    EXPECT_EQ(store->pacsProfiles().get().size(), 4);
    EXPECT_NE(user(0).id, saved.first().id);
    EXPECT_FALSE(QFile::exists(profilesPath()));
    EXPECT_EQ(store->lastSaved().get(), lastSaved);
}

// What one machine holds after it normalised `pacs` with no user profile left.
class BuiltInsAddedBack : public ProfileNormalizationTest {
protected:
    void SetUp() override
    {
        // eUnity's tools, one name twice, with the same ids on every machine.
        QJsonArray tools;
        for (const char* name : {"Zoom", "Cine", "zoom"})
            tools.append(makeTool(name).toJson());
        addResource("eUnityDefaults.json", QJsonDocument(tools).toJson());
        addDefaultMappings();
        ProfileNormalizationTest::SetUp();
        synced = store->pacsProfiles().get();
    }

    std::pair<QList<PacsProfile>, QList<UserProfile>> normalised(const QList<PacsProfile>& pacs)
    {
        ProfileStoreSeed::pacsProfiles(*store).set(pacs);
        ProfileStoreSeed::userProfiles(*store).set({});
        ProfileStoreSeed::normalizeProfiles(*store);
        return {store->pacsProfiles().get(), store->userProfiles().get()};
    }
    QList<PacsProfile> without(const QString& name) const
    {
        QList<PacsProfile> pacs = synced;
        pacs.removeIf([&](const PacsProfile& p) { return p.name == name; });
        return pacs;
    }
    QList<PacsProfile> renamed(const QString& name, const QString& to) const
    {
        QList<PacsProfile> pacs = synced;
        for (PacsProfile& profile : pacs) {
            if (profile.name == name)
                profile.name = to;
        }
        return pacs;
    }
    static QSet<QUuid> toolIds(const QList<PacsProfile>& pacs)
    {
        QSet<QUuid> ids;
        for (const PacsProfile& profile : pacs)
            ids.unite(idsOf(profile.tools));
        return ids;
    }

    QList<PacsProfile> synced;
};

TEST_F(BuiltInsAddedBack, MachinesThatDeleteOrRenameABuiltInAddBackTheSameProfile)
{
    // Both delete "Synthesis": the same profile comes back, with tools of its own
    // (not this process's catalogue), and the default user's buttons name them.
    const auto [pacsA, usersA] = normalised(without("Synthesis"));
    const auto [pacsB, usersB] = normalised(without("Synthesis"));
    ASSERT_EQ(namesOf(pacsA), (QStringList{"Intelerad", "eUnity", "Change Healthcare", "Synthesis"}));
    EXPECT_EQ(pacsA, pacsB);
    EXPECT_NE(pacsA.last().id, synced.first().id);
    EXPECT_EQ(idsOf(pacsA.last().tools).size(), RadiologyTool::defaultTools().size());
    EXPECT_FALSE(idsOf(pacsA.last().tools).intersects(idsOf(RadiologyTool::defaultTools())));
    ASSERT_EQ(usersA.size(), 1);
    EXPECT_EQ(usersA.first().pacsProfileId, pacsA.last().id);
    EXPECT_EQ(toolIdsOf(usersA.first()).size(), 2);
    EXPECT_EQ(toolIdsOf(usersA.first()), toolIdsOf(usersB.first()));

    // Each renames "eUnity" differently: the renamed ones stay, and one eUnity comes
    // back, its repeated tool name under two ids, none of them the resource's.
    const QList<PacsProfile> renamedA = normalised(renamed("eUnity", "eUnity (old)")).first;
    const QList<PacsProfile> renamedB = normalised(renamed("eUnity", "Mine")).first;
    ASSERT_EQ(renamedA.size(), 5);
    EXPECT_EQ(renamedA.at(2).name, "eUnity (old)");
    EXPECT_EQ(renamedA.last(), renamedB.last());
    EXPECT_EQ(namesOf(renamedA.last().tools), (QStringList{"Zoom", "Cine", "zoom"}));
    EXPECT_EQ(toolIds(renamedA).size(), toolIds(synced).size() + 3);
    EXPECT_EQ(renamedA.last().defaultLightingHex, QString("#00B050"));
}

TEST_F(BuiltInsAddedBack, AnIdInUseMakesTheNextCopyAndStoredDuplicatesStay)
{
    // The copy added back before, renamed since, holds the first id: the next copy
    // takes the second, and no two profiles or tools share an id.
    const PacsProfile first = normalised(without("eUnity")).first.last();
    QList<PacsProfile> pacs = synced;
    pacs.removeIf([](const PacsProfile& p) { return p.name == "eUnity"; });
    PacsProfile renamedFirst = first;
    renamedFirst.name = "eUnity 1";
    pacs.insert(0, renamedFirst);
    const QList<PacsProfile> twice = normalised(pacs).first;
    ASSERT_EQ(namesOf(twice).count("eUnity"), 1);
    EXPECT_NE(twice.last().id, first.id);
    EXPECT_EQ(idsOf(twice).size(), twice.size());
    EXPECT_EQ(toolIds(twice).size(), toolIds(synced).size() + 3);
    EXPECT_EQ(normalised(pacs).first, twice);

    // Two profiles of a built-in's name already stored are the user's: both stay.
    PacsProfile again = synced.at(2);
    again.id = QUuid::createUuid();
    pacs = QList<PacsProfile>(synced) << again;
    EXPECT_EQ(normalised(pacs).first, pacs);
}

TEST_F(BuiltInsAddedBack, ADeletedBuiltInToolComesBackWithOneIdAndARenamedOneStaysRenamed)
{
    QList<PacsProfile> deleted = synced;
    const qsizetype pan = namesOf(deleted.first().tools).indexOf("Pan");
    const QUuid panId = deleted.first().tools.takeAt(pan).id;
    const QList<RadiologyTool> toolsA = normalised(deleted).first.first().tools;
    const QList<RadiologyTool> toolsB = normalised(deleted).first.first().tools;
    EXPECT_EQ(toolsA, toolsB);
    ASSERT_EQ(toolsA.last().name, "Pan");
    EXPECT_NE(toolsA.last().id, panId);
    EXPECT_EQ(toolsA.last().id, AddedBackIds::toolId(synced.first().id, "PAN", 1));

    // Renamed after it came back, it is known by its id: no second "Pan".
    QList<PacsProfile> pacs = store->pacsProfiles().get();
    pacs.first().tools.last().name = "Hand";
    ProfileStoreSeed::pacsProfiles(*store).set(pacs);
    EXPECT_FALSE(ProfileStoreSeed::normalizeProfiles(*store));
    EXPECT_EQ(store->pacsProfiles().get(), pacs);
}

TEST_F(BuiltInsAddedBack, FreshSeedsShareNoIdAndABuiltInAddedBackOnBothIsNoSignOfASync)
{
    const PersistedProfiles seeded = profilesOnDisk();
    QFile::remove(profilesPath());
    store->reloadFromDisk();
    EXPECT_FALSE(idsOf(store->pacsProfiles().get()).intersects(idsOf(seeded.pacsProfiles)));
    EXPECT_FALSE(store->sharesProfilesWith(json::encode(seeded.toJson())));

    // Both deleted eUnity before they met: the one id they then share says nothing.
    PersistedProfiles elsewhere = seeded;
    elsewhere.pacsProfiles.removeIf([](const PacsProfile& p) { return p.name == "eUnity"; });
    QList<PacsProfile> here = store->pacsProfiles().get();
    here.removeIf([](const PacsProfile& p) { return p.name == "eUnity"; });
    ProfileStoreSeed::pacsProfiles(*store).set(here);
    ProfileStoreSeed::normalizeProfiles(*store);
    elsewhere.pacsProfiles.append(store->pacsProfiles().get().last());
    EXPECT_FALSE(store->sharesProfilesWith(json::encode(elsewhere.toJson())));
    // A profile of the store's own does.
    elsewhere.pacsProfiles.append(store->pacsProfiles().get().first());
    EXPECT_TRUE(store->sharesProfilesWith(json::encode(elsewhere.toJson())));
}

} // namespace
