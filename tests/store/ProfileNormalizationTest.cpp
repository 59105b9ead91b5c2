#include "StoreOperationsFixture.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

using ProfileNormalizationTest = StoreFixture;

TEST_F(ProfileNormalizationTest, BuiltInProfilesAreMergedAndAddedWhileTheUsersOwnStay)
{
    const auto store = start();
    const QList<RadiologyTool> catalogue = RadiologyTool::defaultTools();
    const RadiologyTool invertGrayscale = catalogue.at(1);
    ASSERT_EQ(invertGrayscale.name, "Invert Grayscale");
    RadiologyTool renamedBuiltIn = catalogue.at(0);
    renamedBuiltIn.name = "My Window";
    const RadiologyTool invert = makeTool("Invert");
    const RadiologyTool twice = makeTool("Twice");
    RadiologyTool sameNameOtherId = makeTool("PAN");

    const PacsProfile synthesis =
        makePacs("SYNTHESIS", {invert, invertGrayscale, twice, renamedBuiltIn, twice, sameNameOtherId});
    const PacsProfile copy = makePacs("Synthesis Copy", {makeTool("Invert")});
    const PacsProfile variant = makePacs("synthesis", {makeTool("invert")});
    ProfileStoreSeed::pacsProfiles(*store).set({synthesis, copy, variant});
    const UserProfile onCopy = makeUser("Dr. Copy", copy.id);
    const UserProfile orphan = makeUser("Dr. Orphan", QUuid::createUuid());
    ProfileStoreSeed::userProfiles(*store).set({onCopy, orphan});
    ProfileStoreSeed::activePacsProfileId(*store).set(QUuid::createUuid());

    EXPECT_TRUE(ProfileStoreSeed::normalizeProfiles(*store));
    const QList<PacsProfile> pacs = store->pacsProfiles().get();
    EXPECT_EQ(namesOf(pacs), (QStringList{"SYNTHESIS", "Synthesis Copy", "synthesis", "Intelerad", "eUnity",
                                          "Change Healthcare"}));

    // The first profile of a built-in name is merged: legacy names upgraded, repeated
    // ids dropped, built-in tools missing by name and by id appended.
    const QList<RadiologyTool> merged = pacs.at(0).tools;
    EXPECT_EQ(pacs.at(0).id, synthesis.id);
    EXPECT_EQ(namesOf(merged.mid(0, 5)),
              (QStringList{"Invert Grayscale", "Invert Grayscale", "Twice", "My Window", "PAN"}));
    EXPECT_EQ(merged.at(0).id, invert.id);
    EXPECT_EQ(namesOf(merged).count("Window/Level") + namesOf(merged).count("Pan"), 0);
    EXPECT_EQ(merged.size(), 5 + catalogue.size() - 3);
    EXPECT_EQ(pacs.at(0).defaultLightingHex, QString("#7800D1"));

    // Other profiles keep their tools; only the first of a name is merged.
    EXPECT_EQ(namesOf(pacs.at(1).tools), QStringList{"Invert"});
    EXPECT_EQ(namesOf(pacs.at(2).tools), QStringList{"invert"});

    // Users of a kept profile stay bound to it; orphans go to the first profile.
    EXPECT_EQ(store->userProfiles().get().at(0).pacsProfileId, copy.id);
    EXPECT_EQ(store->userProfiles().get().at(1).pacsProfileId, synthesis.id);
    EXPECT_EQ(store->activePacsProfileId().get(), synthesis.id);

    EXPECT_FALSE(ProfileStoreSeed::normalizeProfiles(*store));

    // The user's profiles survive a restart and a reload.
    store->save();
    EXPECT_EQ(namesOf(start()->pacsProfiles().get()), namesOf(pacs));
    store->reloadFromDisk();
    EXPECT_EQ(store->pacsProfiles().get(), pacs);
}

TEST_F(ProfileNormalizationTest, LightingAndCategoriesFollowTheNames)
{
    // A lighting the user set stays; a missing one is filled where the name has one.
    const auto store = start();
    QList<PacsProfile> pacs = store->pacsProfiles().get();
    RadiologyTool windowLevel = makeTool("Window/Level");
    windowLevel.category = ToolCategory::mammo;
    pacs[1].tools = {makeTool("Exam List"), windowLevel, makeTool("TOMO vs. Standard Views")};
    pacs[1].defaultLightingHex = "#123456";
    pacs[0].defaultLightingHex.reset();
    ProfileStoreSeed::pacsProfiles(*store).set(pacs);

    EXPECT_TRUE(ProfileStoreSeed::normalizeProfiles(*store));
    pacs = store->pacsProfiles().get();
    EXPECT_EQ(pacs[0].defaultLightingHex, QString("#7800D1"));
    EXPECT_EQ(pacs[1].defaultLightingHex, QString("#123456"));
    EXPECT_EQ(pacs[3].defaultLightingHex, std::nullopt);
    QList<ToolCategory> categories;
    for (const RadiologyTool& tool : pacs[1].tools)
        categories << tool.category;
    EXPECT_EQ(categories, (QList<ToolCategory>{ToolCategory::reporting, ToolCategory::viewer, ToolCategory::mammo}));
}

TEST_F(ProfileNormalizationTest, UserProfilesAreCreatedAndGivenTheCurrentDefaultName)
{
    const auto store = start();
    const QUuid synthesisId = store->pacsProfiles().get().first().id;

    ProfileStoreSeed::userProfiles(*store).set({makeUser("SYNTHESIS", synthesisId)});
    EXPECT_TRUE(ProfileStoreSeed::normalizeProfiles(*store));
    EXPECT_EQ(namesOf(store->userProfiles().get()), QStringList{"Radiologist - General"});

    ProfileStoreSeed::userProfiles(*store).set({makeUser("synthesis", synthesisId), makeUser("DeFault", synthesisId),
                             makeUser("default ", synthesisId)});
    EXPECT_TRUE(ProfileStoreSeed::normalizeProfiles(*store));
    EXPECT_EQ(namesOf(store->userProfiles().get()), (QStringList{"synthesis", "Radiologist - General", "default "}));

    ProfileStoreSeed::userProfiles(*store).set({});
    EXPECT_TRUE(ProfileStoreSeed::normalizeProfiles(*store));
    ASSERT_EQ(store->userProfiles().get().size(), 1);
    EXPECT_EQ(store->activeUserProfileId().get(), store->userProfiles().get().first().id);
    EXPECT_EQ(store->userProfiles().get().first().pacsProfileId, synthesisId);
}

TEST_F(ProfileNormalizationTest, ActivePacsProfileFollowsTheActiveUser)
{
    const auto store = start();
    const QList<PacsProfile> pacs = store->pacsProfiles().get();
    const UserProfile onEUnity = makeUser("Dr. A", pacs.at(2).id);
    ProfileStoreSeed::userProfiles(*store).set({makeUser("Dr. A", pacs.at(0).id), onEUnity});
    ProfileStoreSeed::activeUserProfileId(*store).set(onEUnity.id);
    ProfileStoreSeed::activePacsProfileId(*store).set(QUuid::createUuid());
    store->repairActiveSelection();
    EXPECT_EQ(store->activePacsProfileId().get(), pacs.at(2).id);

    ProfileStoreSeed::activeUserProfileId(*store).set(QUuid::createUuid());
    store->repairActiveSelection();
    EXPECT_EQ(store->activeUserProfileId().get(), store->userProfiles().get().first().id);
    EXPECT_EQ(store->activePacsProfileId().get(), pacs.at(0).id);
}

TEST_F(ProfileNormalizationTest, DefaultMappingsFillOnlyButtonsWithoutAMapping)
{
    addDefaultMappings();
    const auto store = start();
    const PacsProfile synthesis = store->pacsProfiles().get().at(0);
    const auto toolId = [&](const QString& name) {
        for (const RadiologyTool& tool : synthesis.tools) {
            if (tool.name == name)
                return tool.id;
        }
        return QUuid();
    };
    // A fresh install gets the defaults.
    const QList<ButtonMapping> fresh = store->userProfiles().get().first().mappings;
    ASSERT_EQ(fresh.size(), 2);
    EXPECT_EQ(fresh[1].toolId, toolId("Magnify"));

    // The user's own mapping of a default button stays, as do extra mappings; only
    // the default button without a mapping is filled, at the end.
    const ButtonMapping own = makeMapping("tartarus_v2", "K01", toolId("Measure"));
    const ButtonMapping extra = makeMapping("tartarus_v2", "K09", toolId("Cine"));
    const ButtonMapping mic = makeMapping("speechmike_smp3700", "REC", toolId("Mic On/Off"));
    UserProfile user = store->userProfiles().get().first();
    user.mappings = {own, mic, extra};
    const UserProfile onIntelerad = makeUser("Dr. A", store->pacsProfiles().get().at(1).id);
    ProfileStoreSeed::userProfiles(*store).set({user, onIntelerad});
    queue->runUntilIdle();
    saveCalls = 0;

    store->normalizeAllMappings(false);
    const QList<ButtonMapping> mappings = store->userProfiles().get().first().mappings;
    ASSERT_EQ(mappings.size(), 4);
    EXPECT_EQ(mappings.mid(0, 3), (QList<ButtonMapping>{own, mic, extra}));
    EXPECT_EQ(mappings[3].buttonId, "K02");
    EXPECT_EQ(mappings[3].toolId, toolId("Magnify"));
    // A PACS profile without default mappings leaves its users alone.
    EXPECT_EQ(store->userProfiles().get().at(1), onIntelerad);
    EXPECT_EQ(profilesOnDisk().userProfiles, store->userProfiles().get());
    queue->runUntilIdle();
    EXPECT_EQ(saveCalls, 1);

    // Nothing left to fill: nothing saved.
    disk->clearChanges();
    store->normalizeAllMappings(true);
    EXPECT_EQ(store->userProfiles().get().first().mappings, mappings);
    EXPECT_TRUE(disk->changes().isEmpty());
}

TEST_F(ProfileNormalizationTest, ReloadInstallsTheFileOrTheBuiltInsWithoutNeedlessWrites)
{
    const auto store = start();
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
    EXPECT_NE(store->userProfiles().get().first().id, saved.first().id);
    EXPECT_FALSE(QFile::exists(profilesPath()));
    EXPECT_EQ(store->lastSaved().get(), lastSaved);
}

} // namespace
