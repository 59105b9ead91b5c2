#include "StoreOperationsFixture.h"

#include "store/OwnChangesBase.h"
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

// A record that names no history (an earlier state written again, plus its own user):
// against the base of this computer's own changes, what it lacks stays, what it adds
// comes, this computer's own edits win unopposed, and what it holds otherwise than the
// synced state is a conflict whose losing version is handed back, never taken silently.
TEST_F(ProfileMergeTest, AgainstOwnChangesARecordRemovesNothingAndRevertsNothingUnseen)
{
    PacsProfile synced = pacs;
    synced.tools.append(makeTool("Synced later"));
    base.pacsProfiles = {synced};
    base.userProfiles = {u1, u2, renamed(u3, "U3 synced")};
    local = base;
    local.userProfiles[0] = renamed(u1, "U1 here");
    const UserProfile r1 = makeUser("R1", pacs.id);
    remote.pacsProfiles = {pacs};
    remote.userProfiles = {u1, u2, u3, r1};
    for (const Later later : {Later::local, Later::remote}) {
        const ProfileMerge::Result result =
            ProfileMerge::merge(OwnChangesBase::of(base, remote), local, remote, later);
        ASSERT_EQ(result.merged.pacsProfiles.size(), 1);
        EXPECT_EQ(result.merged.pacsProfiles.first().tools, synced.tools);
        const QString third = later == Later::local ? "U3 synced" : "U3";
        EXPECT_EQ(names(result.merged.userProfiles), (QStringList{"U1 here", "U2", third, "R1"}));
        ASSERT_EQ(result.lostUserProfiles.size(), 1);
        EXPECT_EQ(result.lostUserProfiles.first().profile.name, later == Later::local ? "U3" : "U3 synced");
    }
    // Against the synced state itself, the record would remove the tool and revert U3.
    EXPECT_EQ(ProfileMerge::merge(base, local, remote, Later::local).merged.pacsProfiles.first().tools, pacs.tools);
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

ButtonMapping mapping(const QString& button, const QUuid& toolId)
{
    return ButtonMapping{QUuid::createUuid(), "keypad", button, toolId};
}

bool isClean(const ProfileMerge::Result& result)
{
    return result.lostPacsProfiles.isEmpty() && result.lostUserProfiles.isEmpty();
}

// Every mapping names a tool of the PACS profile its user profile is bound to.
bool referencesAreWhole(const LoadResult& profiles)
{
    for (const UserProfile& user : profiles.userProfiles) {
        const auto pacs = std::find_if(profiles.pacsProfiles.cbegin(), profiles.pacsProfiles.cend(),
                                       [&](const PacsProfile& p) { return p.id == user.pacsProfileId; });
        if (pacs == profiles.pacsProfiles.cend())
            return false;
        for (const ButtonMapping& m : user.mappings) {
            if (std::none_of(pacs->tools.cbegin(), pacs->tools.cend(), [&](const RadiologyTool& t) { return t.id == m.toolId; }))
                return false;
        }
    }
    return true;
}

// Tools added apart to one PACS profile, and buttons mapped to them apart on one user
// profile, all stay: no conflict, nothing lost, every button on its own tool.
TEST_F(ProfileMergeTest, ToolsAndButtonsAddedApartAllStay)
{
    const RadiologyTool here = makeTool("Pan");
    const RadiologyTool there = makeTool("Cine");
    local.pacsProfiles.first().tools.append(here);
    remote.pacsProfiles.first().tools.append(there);
    local.userProfiles.first().mappings = {mapping("K01", here.id)};
    remote.userProfiles.first().mappings = {mapping("K02", there.id)};
    for (const Later later : {Later::local, Later::remote}) {
        const ProfileMerge::Result result = merge(later);
        EXPECT_TRUE(isClean(result));
        ASSERT_EQ(result.merged.pacsProfiles.first().tools.size(), 3);
        EXPECT_EQ(result.merged.pacsProfiles.first().tools.at(1), there);
        EXPECT_EQ(result.merged.pacsProfiles.first().tools.at(2), here);
        EXPECT_EQ(toolIdsOf(result.merged.userProfiles.first()), (QList<QUuid>{there.id, here.id}));
        EXPECT_TRUE(referencesAreWhole(result.merged));
    }
}

// The same button mapped to the same tool on both sides is one change, whatever the
// mappings' own ids; the same button to different tools is a conflict the later wins,
// and only then is the losing side's whole profile handed back.
TEST_F(ProfileMergeTest, MappingsCompareByTheirTool)
{
    const QUuid zoom = pacs.tools.first().id;
    local.userProfiles.first().mappings = {mapping("K01", zoom)};
    remote.userProfiles.first().mappings = {mapping("K01", zoom)};
    local.userProfiles.first().lightingHex = "#FF0000";
    ProfileMerge::Result result = merge(Later::remote);
    EXPECT_TRUE(isClean(result));
    EXPECT_EQ(toolIdsOf(result.merged.userProfiles.first()), QList<QUuid>{zoom});
    EXPECT_EQ(result.merged.userProfiles.first().lightingHex, "#FF0000");
    // Whichever side merges, the same mapping stays.
    EXPECT_EQ(result.merged.userProfiles.first().mappings,
              ProfileMerge::merge(base, remote, local, Later::local).merged.userProfiles.first().mappings);

    const RadiologyTool pan = makeTool("Pan");
    local.pacsProfiles.first().tools.append(pan);
    local.userProfiles.first().mappings = {mapping("K01", pan.id)};
    for (const Later later : {Later::local, Later::remote}) {
        result = merge(later);
        const UserProfile& merged = result.merged.userProfiles.first();
        EXPECT_EQ(toolIdsOf(merged), QList<QUuid>{later == Later::local ? pan.id : zoom});
        // What did not conflict is merged all the same.
        EXPECT_EQ(merged.lightingHex, "#FF0000");
        ASSERT_EQ(result.lostUserProfiles.size(), 1);
        EXPECT_EQ(result.lostUserProfiles.first().profile,
                  (later == Later::local ? remote : local).userProfiles.first());
        EXPECT_TRUE(referencesAreWhole(result.merged));
    }
}

// Fields merge apart: a rename here and a new binding elsewhere both stay; the same
// field changed differently on both is the later side's.
TEST_F(ProfileMergeTest, FieldsChangedOnOneSideStayAndTheSameFieldConflicts)
{
    PacsProfile other = makePacs("Other", {makeTool("Zoom", pacs.tools.first().id)});
    base.pacsProfiles.append(other);
    local.pacsProfiles.append(other);
    remote.pacsProfiles.append(other);
    local.userProfiles.first().name = "Renamed";
    remote.userProfiles.first().pacsProfileId = other.id;
    local.pacsProfiles.first().defaultLightingHex = "#00FF00";
    remote.pacsProfiles.first().name = "Synthesis 2";
    ProfileMerge::Result result = merge(Later::local);
    EXPECT_TRUE(isClean(result));
    EXPECT_EQ(result.merged.userProfiles.first().name, "Renamed");
    EXPECT_EQ(result.merged.userProfiles.first().pacsProfileId, other.id);
    EXPECT_EQ(result.merged.pacsProfiles.first().name, "Synthesis 2");
    EXPECT_EQ(result.merged.pacsProfiles.first().defaultLightingHex, "#00FF00");

    remote.pacsProfiles.first().defaultLightingHex = "#0000FF";
    result = merge(Later::remote);
    EXPECT_EQ(result.merged.pacsProfiles.first().defaultLightingHex, "#0000FF");
    EXPECT_EQ(result.lostPacsProfiles, QList<PacsProfile>{local.pacsProfiles.first()});
}

// A PACS profile deleted here (its users rebound, as the store does) while elsewhere a
// user profile is made on it: the profile comes back and the new user keeps its
// buttons on that profile's own tools. A tool deleted here and mapped elsewhere too.
TEST_F(ProfileMergeTest, ADeletionNeverBreaksWorkMadeElsewhere)
{
    const RadiologyTool scroll = makeTool("Scroll");
    PacsProfile doomed = makePacs("eUnity", {scroll});
    base.pacsProfiles.append(doomed);
    remote.pacsProfiles.append(doomed);
    const UserProfile made = makeUser("Made there", doomed.id, {mapping("K05", scroll.id)});
    remote.userProfiles.append(made);
    // Here: a tool deleted too, while elsewhere a button is mapped to it.
    const RadiologyTool zoom = pacs.tools.first();
    local.pacsProfiles.first().tools.clear();
    remote.userProfiles[1].mappings = {mapping("K09", zoom.id)};
    for (const Later later : {Later::local, Later::remote}) {
        const ProfileMerge::Result result = merge(later);
        EXPECT_TRUE(isClean(result));
        EXPECT_TRUE(referencesAreWhole(result.merged));
        ASSERT_EQ(result.merged.pacsProfiles.size(), 2);
        EXPECT_EQ(result.merged.pacsProfiles.at(1), doomed);
        EXPECT_EQ(result.merged.pacsProfiles.first().tools, QList<RadiologyTool>{zoom});
        EXPECT_EQ(result.merged.userProfiles.at(3), made);
        EXPECT_EQ(result.restored, (QStringList{"eUnity", "Zoom (Synthesis)"}));
    }
    // Deleted here and untouched elsewhere, nothing using it: it goes.
    remote = base;
    EXPECT_EQ(merge().merged.pacsProfiles.first().tools, QList<RadiologyTool>{});
    EXPECT_EQ(merge().merged.pacsProfiles.size(), 1);
}

// A user profile changed elsewhere while here its PACS profile was deleted and the
// store rebound it: the other side's binding and buttons stay, and the rebound version
// is kept as a file.
TEST_F(ProfileMergeTest, AUserChangedElsewhereKeepsItsDeletedPacsProfile)
{
    const RadiologyTool scroll = makeTool("Scroll");
    const PacsProfile doomed = makePacs("eUnity", {scroll});
    const UserProfile bound = makeUser("Bound", doomed.id);
    for (LoadResult* side : {&base, &local, &remote}) {
        side->pacsProfiles.append(doomed);
        side->userProfiles.append(bound);
    }
    local.pacsProfiles.removeLast();
    local.userProfiles.last().pacsProfileId = pacs.id;
    remote.userProfiles.last().mappings = {mapping("K03", scroll.id)};
    const ProfileMerge::Result result = merge(Later::local);
    EXPECT_TRUE(referencesAreWhole(result.merged));
    EXPECT_EQ(result.merged.userProfiles.last(), remote.userProfiles.last());
    EXPECT_EQ(result.merged.pacsProfiles.last(), doomed);
    ASSERT_EQ(result.lostUserProfiles.size(), 1);
    EXPECT_EQ(result.lostUserProfiles.first().profile, local.userProfiles.last());
}

// A button mapped again to the tool it ran (a new mapping id), or a list only
// reordered, is no change: it keeps no profile that the other side deleted.
TEST_F(ProfileMergeTest, ARemapToTheSameToolOrAReorderIsNoChangeThatUndoesADeletion)
{
    const RadiologyTool scroll = makeTool("Scroll");
    const RadiologyTool pan = makeTool("Pan");
    const PacsProfile doomed = makePacs("eUnity", {scroll, pan});
    const UserProfile bound = makeUser("Bound", doomed.id, {mapping("K01", scroll.id), mapping("K02", pan.id)});
    QList<UserProfile> users = base.userProfiles;
    users.last().mappings = {mapping("K03", pacs.tools.first().id), mapping("K04", pacs.tools.first().id)};
    users.append(bound);
    for (LoadResult* side : {&base, &local, &remote}) {
        side->pacsProfiles.append(doomed);
        side->userProfiles = users;
    }
    // Here: U3 deleted, and eUnity deleted with Bound rebound to Synthesis, as the store does.
    local.userProfiles.removeAt(2);
    local.pacsProfiles.removeLast();
    local.userProfiles.last().pacsProfileId = pacs.id;
    local.userProfiles.last().mappings.clear();
    // Elsewhere: U3's K04 mapped again to its tool and its buttons reordered; Bound's K01
    // mapped again to Scroll, and eUnity's tools reordered.
    UserProfile& u3There = remote.userProfiles[2];
    u3There.mappings = {u3There.mappings.at(1), u3There.mappings.at(0)};
    u3There.mappings[0].id = QUuid::createUuid();
    remote.userProfiles.last().mappings = {mapping("K02", pan.id), mapping("K01", scroll.id)};
    remote.pacsProfiles.last().tools = {pan, scroll};
    for (const Later later : {Later::local, Later::remote}) {
        const ProfileMerge::Result result = merge(later);
        EXPECT_EQ(names(result.merged.userProfiles), (QStringList{"U1", "U2", "Bound"}));
        EXPECT_EQ(result.merged.pacsProfiles, QList<PacsProfile>{pacs});
        EXPECT_EQ(result.merged.userProfiles.last(), local.userProfiles.last());
        EXPECT_TRUE(result.restored.isEmpty());
        EXPECT_TRUE(isClean(result));
        EXPECT_TRUE(result.fromRemote.isEmpty()) << result.fromRemote.join(", ").toStdString();
    }
    // A real change elsewhere (K01 to Pan) still keeps both.
    remote.userProfiles.last().mappings = {mapping("K01", pan.id)};
    const ProfileMerge::Result result = merge(Later::local);
    EXPECT_EQ(result.merged.pacsProfiles.size(), 2);
    EXPECT_TRUE(referencesAreWhole(result.merged));
}

// Without a base nothing either side holds is dropped: a profile made on each side
// stays, and one changed differently is a conflict the later side wins.
TEST_F(ProfileMergeTest, WithoutABaseNothingIsDropped)
{
    const UserProfile l1 = makeUser("L1", pacs.id);
    const UserProfile r1 = makeUser("R1", pacs.id);
    local.userProfiles = {renamed(u1, "U1 here"), u2, l1};
    remote.userProfiles = {u1, u3, r1};
    for (const Later later : {Later::local, Later::remote}) {
        const ProfileMerge::Result result = ProfileMerge::merge(LoadResult{}, local, remote, later);
        EXPECT_EQ(names(result.merged.userProfiles),
                  (QStringList{later == Later::local ? "U1 here" : "U1", "U3", "R1", "U2", "L1"}));
        ASSERT_EQ(result.lostUserProfiles.size(), 1);
        EXPECT_EQ(result.lostUserProfiles.first().profile.name, later == Later::local ? "U1" : "U1 here");
        EXPECT_TRUE(result.lostPacsProfiles.isEmpty());
    }
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

    const QStringList kept = ProfileStore::keepLostVersions(QFileInfo(store->fileURL()).absolutePath(), merge);
    EXPECT_EQ(kept, (QStringList{pacs.name + " (PACS profile).json", "Dr. Lost (user profile) 2.json"}));
    const UserProfileExport imported = ProfileExchange::decodeUserProfile(readFile(folder.filePath(kept.last())));
    EXPECT_EQ(imported.profile.name, "Dr. Lost");
    EXPECT_EQ(imported.pacsProfileName, pacs.name);
    // The same versions again: found, not written twice.
    EXPECT_EQ(ProfileStore::keepLostVersions(QFileInfo(store->fileURL()).absolutePath(), merge), kept);
}

} // namespace
