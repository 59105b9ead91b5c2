#include "StoreOperationsFixture.h"

#include "store/ProfileLookup.h"
#include "store/UniqueIds.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

template <typename T>
bool allUnique(const QList<T>& items)
{
    return idsOf(items).size() == items.size();
}

bool mappingIdsUnique(const QList<UserProfile>& users)
{
    QList<ButtonMapping> all;
    for (const UserProfile& user : users)
        all += user.mappings;
    return allUnique(all);
}

// Two PACS profiles, two user profiles and two tools held under one id each, and one
// mapping id in two user profiles, as another machine or a hand-edited file may hold them.
LoadResult twiceHeld()
{
    const QUuid pacsId = QUuid::createUuid();
    const QUuid toolId = QUuid::createUuid();
    PacsProfile night = makePacs("Night", {makeTool("Pan", toolId), makeTool("Zoom", toolId)});
    night.id = pacsId;
    PacsProfile day = makePacs("Day", {makeTool("Cine"), makeTool("Measure")});
    day.id = pacsId;
    UserProfile alice = makeUser("Alice", pacsId, {makeMapping("tartarus", "01", toolId)});
    // Its mappings name Day's tools: it meant Day.
    UserProfile twin = makeUser("Alice twin", pacsId,
                                {makeMapping("tartarus", "01", day.tools.at(0).id),
                                 makeMapping("tartarus", "02", day.tools.at(1).id)});
    twin.id = alice.id;
    twin.mappings[0].id = alice.mappings.at(0).id;
    return LoadResult{{night, day}, {alice, twin}, pacsId, alice.id, false};
}

TEST(UniqueIds, EveryProfileToolAndMappingStaysUnderAnIdOfItsOwnTheSameOnEveryMachine)
{
    const LoadResult held = twiceHeld();
    LoadResult repaired = held;
    ASSERT_TRUE(makeIdsUnique(repaired));
    EXPECT_EQ(namesOf(repaired.pacsProfiles), (QStringList{"Night", "Day"}));
    EXPECT_EQ(namesOf(repaired.userProfiles), (QStringList{"Alice", "Alice twin"}));
    EXPECT_TRUE(allUnique(repaired.pacsProfiles));
    EXPECT_TRUE(allUnique(repaired.userProfiles));
    EXPECT_TRUE(allUnique(repaired.pacsProfiles.at(0).tools));
    EXPECT_EQ(namesOf(repaired.pacsProfiles.at(0).tools), (QStringList{"Pan", "Zoom"}));
    EXPECT_TRUE(mappingIdsUnique(repaired.userProfiles));
    // The first holder keeps the id, and so do the references to it that cannot be told apart.
    EXPECT_EQ(repaired.pacsProfiles.at(0).id, held.pacsProfiles.at(0).id);
    EXPECT_EQ(repaired.userProfiles.at(0).id, held.userProfiles.at(0).id);
    EXPECT_EQ(repaired.activePacsProfileId, held.activePacsProfileId);
    EXPECT_EQ(repaired.activeUserProfileId, held.activeUserProfileId);
    EXPECT_EQ(repaired.userProfiles.at(0).pacsProfileId, repaired.pacsProfiles.at(0).id);
    // The twin's mappings name Day's tools: it follows Day to its new id.
    EXPECT_EQ(repaired.userProfiles.at(1).pacsProfileId, repaired.pacsProfiles.at(1).id);

    // Another machine repairing the same document ends with the same ids.
    LoadResult again = held;
    makeIdsUnique(again);
    EXPECT_EQ(again, repaired);
    // Unique already: nothing changes.
    EXPECT_FALSE(makeIdsUnique(again));
    EXPECT_EQ(again, repaired);
}

TEST(UniqueIds, ADerivedIdNeverTakesOneHeldAlready)
{
    LoadResult held = twiceHeld();
    LoadResult first = held;
    makeIdsUnique(first);
    // A third user profile already holds the id the twin would get, and a fourth repeats it.
    UserProfile squatter = makeUser("Squatter", held.pacsProfiles.at(0).id);
    squatter.id = first.userProfiles.at(1).id;
    held.userProfiles << squatter << squatter;
    held.userProfiles.last().name = "Squatter twin";
    makeIdsUnique(held);
    EXPECT_EQ(namesOf(held.userProfiles), (QStringList{"Alice", "Alice twin", "Squatter", "Squatter twin"}));
    EXPECT_TRUE(allUnique(held.userProfiles));
    EXPECT_EQ(held.userProfiles.at(2).id, squatter.id);
}

// profiles.json holding ids twice loads with every profile and tool, each under an id
// of its own, and is written again that way; a built-in profile keeps both tools.
using UniqueIdsOnLoad = StoreFixture;

TEST_F(UniqueIdsOnLoad, AProfilesFileHoldingIdsTwiceLoadsWholeAndIsWrittenUnique)
{
    LoadResult held = twiceHeld();
    held.pacsProfiles[1].name = "Synthesis";
    PersistedProfiles document;
    document.pacsProfiles = held.pacsProfiles;
    document.userProfiles = held.userProfiles;
    document.activePacsProfileId = held.activePacsProfileId;
    document.activeUserProfileId = held.activeUserProfileId;
    document.pacsProfiles[1].tools.append(document.pacsProfiles[1].tools.at(0));
    document.pacsProfiles[1].tools.last().name = "Cine copy";
    writeProfiles(document);
    const std::unique_ptr<ProfileStore> store = start();
    queue->runUntilIdle();

    const QList<PacsProfile> pacs = store->pacsProfiles().get();
    ASSERT_GE(pacs.size(), 2);
    EXPECT_EQ(namesOf(pacs.mid(0, 2)), (QStringList{"Night", "Synthesis"}));
    EXPECT_TRUE(allUnique(pacs));
    for (const PacsProfile& profile : pacs)
        EXPECT_TRUE(allUnique(profile.tools)) << profile.name.toStdString();
    EXPECT_TRUE(namesOf(pacs.at(1).tools).contains("Cine copy"));
    EXPECT_TRUE(namesOf(pacs.at(1).tools).contains("Cine"));
    EXPECT_EQ(namesOf(store->userProfiles().get()), (QStringList{"Alice", "Alice twin"}));
    EXPECT_TRUE(allUnique(store->userProfiles().get()));
    EXPECT_TRUE(mappingIdsUnique(store->userProfiles().get()));

    const PersistedProfiles onDisk = profilesOnDisk();
    EXPECT_TRUE(allUnique(onDisk.pacsProfiles));
    EXPECT_TRUE(allUnique(onDisk.userProfiles));
    EXPECT_EQ(onDisk.userProfiles.at(1).pacsProfileId, onDisk.pacsProfiles.at(1).id);
}

} // namespace
