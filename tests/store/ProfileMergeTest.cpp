#include "StoreOperationsFixture.h"

#include "store/ProfileExchange.h"
#include "store/ProfileMerge.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;
using Later = ProfileMerge::Later;

namespace {

QStringList names(const QList<UserProfile>& users)
{
    QStringList out;
    for (const UserProfile& user : users)
        out.append(user.name);
    return out;
}

// One PACS profile, three users, synced: the base both sides came from.
struct ProfileMergeTest : ::testing::Test {
    PacsProfile pacs = makePacs("Synthesis", {makeTool("Zoom")});
    UserProfile u1 = makeUser("U1", pacs.id);
    UserProfile u2 = makeUser("U2", pacs.id);
    UserProfile u3 = makeUser("U3", pacs.id);
    LoadResult base{{pacs}, {u1, u2, u3}, pacs.id, u1.id, false};
    LoadResult local = base;
    LoadResult remote = base;

    static UserProfile renamed(UserProfile user, const QString& name)
    {
        user.name = name;
        return user;
    }
    ProfileMerge::Result merge(Later later = Later::remote) const
    {
        return ProfileMerge::merge(base, local, remote, later);
    }
};

TEST_F(ProfileMergeTest, AChangeOnOneSideOnlyStays)
{
    // Here: U1 edited, U2 deleted, L1 added. Elsewhere: U3 edited, R1 added.
    const UserProfile l1 = makeUser("L1", pacs.id);
    const UserProfile r1 = makeUser("R1", pacs.id);
    local.userProfiles = {renamed(u1, "U1 here"), u3, l1};
    remote.userProfiles = {u1, u2, renamed(u3, "U3 there"), r1};
    for (const Later later : {Later::local, Later::remote}) {
        const ProfileMerge::Result result = merge(later);
        // The record's order, then this computer's additions.
        EXPECT_EQ(names(result.merged.userProfiles), (QStringList{"U1 here", "U3 there", "R1", "L1"}));
        EXPECT_TRUE(result.lostUserProfiles.isEmpty());
        EXPECT_EQ(result.fromRemote, (QStringList{"U3 there", "R1"}));
        EXPECT_EQ(result.fromLocal, (QStringList{"U1 here", "L1"}));
        EXPECT_EQ(result.merged.pacsProfiles, base.pacsProfiles);
    }
    // Deleted elsewhere, untouched here: gone.
    local = base;
    remote.userProfiles = {u1, u3};
    EXPECT_EQ(names(merge(Later::local).merged.userProfiles), (QStringList{"U1", "U3"}));
}

TEST_F(ProfileMergeTest, TheSameChangeOnBothSidesIsTakenOnce)
{
    local.userProfiles = {renamed(u1, "Same"), u2};
    remote.userProfiles = {renamed(u1, "Same"), u2};
    const ProfileMerge::Result result = merge();
    EXPECT_EQ(names(result.merged.userProfiles), (QStringList{"Same", "U2"}));
    EXPECT_TRUE(result.lostUserProfiles.isEmpty());
    EXPECT_TRUE(result.fromRemote.isEmpty());
    EXPECT_TRUE(result.fromLocal.isEmpty());
}

TEST_F(ProfileMergeTest, DifferentChangesOnBothSidesTakeTheLaterAndHandBackTheOther)
{
    PacsProfile pacsHere = pacs;
    pacsHere.name = "Synthesis here";
    PacsProfile pacsThere = pacs;
    pacsThere.name = "Synthesis there";
    local.pacsProfiles = {pacsHere};
    remote.pacsProfiles = {pacsThere};
    local.userProfiles = {renamed(u1, "Here"), u2, u3};
    remote.userProfiles = {renamed(u1, "There"), u2, u3};

    ProfileMerge::Result result = merge(Later::remote);
    EXPECT_EQ(names(result.merged.userProfiles).first(), "There");
    EXPECT_EQ(result.merged.pacsProfiles, (QList<PacsProfile>{pacsThere}));
    ASSERT_EQ(result.lostUserProfiles.size(), 1);
    EXPECT_EQ(result.lostUserProfiles.first().profile.name, "Here");
    // Kept with its own side's PACS profile, so that an import finds its tools.
    EXPECT_EQ(result.lostUserProfiles.first().pacsProfile, pacsHere);
    EXPECT_EQ(result.lostPacsProfiles, (QList<PacsProfile>{pacsHere}));

    result = merge(Later::local);
    EXPECT_EQ(names(result.merged.userProfiles).first(), "Here");
    ASSERT_EQ(result.lostUserProfiles.size(), 1);
    EXPECT_EQ(result.lostUserProfiles.first().profile.name, "There");
    EXPECT_EQ(result.lostUserProfiles.first().pacsProfile, pacsThere);
}

TEST_F(ProfileMergeTest, ADeletionNeverTakesAnEditMadeOnTheOtherSide)
{
    // Deleted here, edited elsewhere; and edited here, deleted elsewhere.
    local.userProfiles = {u1, renamed(u3, "U3 here")};
    remote.userProfiles = {u1, renamed(u2, "U2 there")};
    for (const Later later : {Later::local, Later::remote}) {
        const ProfileMerge::Result result = merge(later);
        EXPECT_EQ(names(result.merged.userProfiles), (QStringList{"U1", "U2 there", "U3 here"}));
        EXPECT_TRUE(result.lostUserProfiles.isEmpty());
    }
}

TEST_F(ProfileMergeTest, TheActiveIdsMergeLikeProfiles)
{
    local.activeUserProfileId = u2.id;
    EXPECT_EQ(merge().merged.activeUserProfileId, u2.id);
    remote.activeUserProfileId = u3.id;
    EXPECT_EQ(merge(Later::remote).merged.activeUserProfileId, u3.id);
    EXPECT_EQ(merge(Later::local).merged.activeUserProfileId, u2.id);
    local.activeUserProfileId = u1.id;
    EXPECT_EQ(merge(Later::local).merged.activeUserProfileId, u3.id);
}

using KeepLostVersionsTest = StoreOperationsFixture;

// The versions that lost become exchange files that an import reads back, never
// over a file that is there.
TEST_F(KeepLostVersionsTest, WritesImportableFilesBesideTheProfiles)
{
    const PacsProfile pacs = store->activePacsProfile();
    UserProfile lost = store->activeUserProfile();
    lost.name = "Dr. Lost";
    ProfileMerge::Result merge;
    merge.lostUserProfiles = {{lost, pacs}};
    merge.lostPacsProfiles = {pacs};
    const QDir folder = QFileInfo(store->fileURL()).dir();
    ASSERT_TRUE(QFile(folder.filePath("Dr. Lost (user profile).json")).open(QIODevice::WriteOnly));

    const QStringList kept = store->keepLostVersions(merge);
    EXPECT_EQ(kept, (QStringList{pacs.name + " (PACS profile).json", "Dr. Lost (user profile) 2.json"}));
    const UserProfileExport imported = ProfileExchange::decodeUserProfile(readFile(folder.filePath(kept.last())));
    EXPECT_EQ(imported.profile.name, "Dr. Lost");
    EXPECT_EQ(imported.pacsProfileName, pacs.name);
    // The same versions again: found, not written twice.
    EXPECT_EQ(store->keepLostVersions(merge), kept);
}

} // namespace
