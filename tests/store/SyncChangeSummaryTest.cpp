#include "StoreOperationsFixture.h"
#include "store/SyncChangeSummary.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

LoadResult side(QList<PacsProfile> pacsProfiles, QList<UserProfile> userProfiles)
{
    const auto activePacs = pacsProfiles.value(0).id;
    const auto activeUser = userProfiles.value(0).id;
    return LoadResult{std::move(pacsProfiles), std::move(userProfiles), activePacs, activeUser, false};
}

std::string body(const LoadResult& current, const LoadResult& incoming)
{
    const auto notice = SyncChangeSummary::summarize(current, incoming);
    if (!notice)
        return "<none>";
    EXPECT_EQ(notice->title, "Velmor profiles updated");
    return notice->body.toStdString();
}

// A store state: Synthesis with two tools, one user mapped on the keypad.
struct Fixture {
    RadiologyTool zoom = makeTool("Zoom");
    RadiologyTool pan = makeTool("Pan");
    PacsProfile synthesis = makePacs("Synthesis", {zoom, pan});
    UserProfile general = makeUser("General", synthesis.id, {makeMapping("tartarus_v2", "K01", zoom.id)});
    LoadResult current = side({synthesis}, {general});
};

} // namespace

TEST(SyncChangeSummary, ActiveLinesOnlyForActiveIdsThePayloadCarries)
{
    Fixture f;
    EXPECT_FALSE(SyncChangeSummary::summarize(f.current, f.current));
    // A payload without active ids says nothing about them, whatever the store holds.
    LoadResult incoming = f.current;
    incoming.activePacsProfileId.reset();
    incoming.activeUserProfileId.reset();
    f.current.activeUserProfileId = QUuid::createUuid();
    EXPECT_FALSE(SyncChangeSummary::summarize(f.current, incoming));

    // Names stand as the payload has them, untrimmed; an id it lacks reads "Unknown".
    const UserProfile second = makeUser("  Second  ", f.synthesis.id);
    f.current.userProfiles.append(second);
    incoming = f.current;
    incoming.activeUserProfileId = second.id;
    incoming.activePacsProfileId = QUuid::createUuid();
    EXPECT_EQ(body(f.current, incoming), "Active PACS profile: Unknown; Active user profile:   Second  ");
}

TEST(SyncChangeSummary, ListsEveryKindOfChangeInItsFixedOrder)
{
    Fixture f;
    const PacsProfile oldPacs = makePacs("Old PACS");
    const UserProfile goneUser = makeUser("Gone User", f.synthesis.id);
    f.current = side({f.synthesis, oldPacs}, {f.general, goneUser});

    PacsProfile synthesis = f.synthesis;
    synthesis.defaultLightingHex = "#7800D1";
    const PacsProfile intelerad = makePacs("Intelerad");
    UserProfile general = f.general;
    general.mappings = {makeMapping("tartarus_v2", "K02", f.zoom.id), makeMapping("tartarus_v2", "K01", f.pan.id)};
    const UserProfile newUser = makeUser("New User", intelerad.id);
    LoadResult incoming = side({synthesis, intelerad}, {general, newUser});
    incoming.activePacsProfileId = intelerad.id;
    incoming.activeUserProfileId = newUser.id;

    EXPECT_EQ(body(f.current, incoming),
              "PACS profiles added: Intelerad; PACS profiles updated: Synthesis; PACS profiles removed: Old PACS; "
              "User profiles added: New User; User profiles updated: General; User profiles removed: Gone User; "
              "Button 01 remapped to \"Pan\"; Button 02 mapped to \"Zoom\"; "
              "Active PACS profile: Intelerad; Active user profile: New User");
}

TEST(SyncChangeSummary, NameListsAreTrimmedSortedAndCut)
{
    EXPECT_EQ(SyncChangeSummary::formatNameList({" ", "\n\t", ""}), "Unknown");
    EXPECT_EQ(SyncChangeSummary::formatNameList({"delta", "Alpha", "charlie\n", " bravo", "echo"}),
              "Alpha, bravo, charlie +2 more");

    // Through the summary, names equal but for letter case keep their plain order.
    Fixture f;
    LoadResult incoming = f.current;
    incoming.userProfiles += {makeUser("zed", f.synthesis.id), makeUser("Zed", f.synthesis.id)};
    EXPECT_EQ(body(f.current, incoming), "User profiles added: Zed, zed");
}

TEST(SyncChangeSummary, MappingLinesAreSortedCutAndPrefixedOnlyForSeveralProfileNames)
{
    Fixture f;
    UserProfile general = f.general;
    general.mappings = {makeMapping("speechmike_smp3700", "REC", f.pan.id),
                        makeMapping("speechmike_smp3700", "FWD", f.pan.id),
                        makeMapping("mouse_5_button", "LEFT_CLICK", f.zoom.id),
                        makeMapping("hid_1234", "B7", f.zoom.id)};
    LoadResult incoming = f.current;
    incoming.userProfiles = {general};
    // Five changes: four new mappings and the keypad key that lost its mapping.
    EXPECT_EQ(body(f.current, incoming),
              "User profiles updated: General; Button 01 unmapped; Button B7 mapped to \"Zoom\"; "
              "Button Fwd mapped to \"Pan\"; +2 more mapping changes");

    // Two profiles with different names: each line starts with its profile's name.
    UserProfile other = makeUser("Other", f.synthesis.id, {makeMapping("tartarus_v2", "K02", f.zoom.id)});
    f.current.userProfiles.append(other);
    incoming = f.current;
    incoming.userProfiles[0].mappings[0].toolId = f.pan.id;
    incoming.userProfiles[1].mappings.clear();
    EXPECT_EQ(body(f.current, incoming),
              "User profiles updated: General, Other; General: Button 01 remapped to \"Pan\"; "
              "Other: Button 02 unmapped");

    // Two profiles that share one name count as one name: no prefix.
    incoming.userProfiles[1].name = "General";
    f.current.userProfiles[1].name = "General";
    EXPECT_EQ(body(f.current, incoming),
              "User profiles updated: General, General; Button 01 remapped to \"Pan\"; Button 02 unmapped");
}

TEST(SyncChangeSummary, ToolNamesComeFromTheNewPacsProfileThenTheStoredOneElseUnknownTool)
{
    Fixture f;
    const RadiologyTool cine = makeTool("Cine");
    const PacsProfile eunity = makePacs("eUnity", {cine});
    f.current.pacsProfiles.append(eunity);

    // Moved to eUnity: the new binding's tool names are used.
    LoadResult incoming = f.current;
    incoming.userProfiles[0].pacsProfileId = eunity.id;
    incoming.userProfiles[0].mappings[0].toolId = cine.id;
    EXPECT_EQ(body(f.current, incoming), "User profiles updated: General; Button 01 remapped to \"Cine\"");

    // The payload lacks that PACS profile: the store's copy names the tool.
    incoming.pacsProfiles.removeLast();
    EXPECT_EQ(body(f.current, incoming),
              "PACS profiles removed: eUnity; User profiles updated: General; Button 01 remapped to \"Cine\"");

    // Known on neither side.
    incoming = f.current;
    incoming.userProfiles[0].mappings[0].toolId = QUuid::createUuid();
    EXPECT_EQ(body(f.current, incoming), "User profiles updated: General; Button 01 remapped to \"Unknown Tool\"");

    // Mappings only reordered, or re-created with new ids, give no mapping line.
    f.current.userProfiles[0].mappings.append(makeMapping("tartarus_v2", "K02", f.pan.id));
    incoming = f.current;
    std::swap(incoming.userProfiles[0].mappings[0], incoming.userProfiles[0].mappings[1]);
    incoming.userProfiles[0].mappings[0].id = QUuid::createUuid();
    EXPECT_EQ(body(f.current, incoming), "User profiles updated: General");
}

TEST(SyncChangeSummary, ButtonLabelsFollowTheBuiltInTemplatesOnly)
{
    // Template buttons are covered above; any other id is its own label.
    EXPECT_EQ(SyncChangeSummary::buttonDisplayName("tartarus_v2", " K99 "), "Button K99");
    // A label that already says "button " (any case) stays as it is.
    EXPECT_EQ(SyncChangeSummary::buttonDisplayName("hid_05ac_1234", "BUTTON 3"), "BUTTON 3");
    EXPECT_EQ(SyncChangeSummary::buttonDisplayName("hid_05ac_1234", "Buttons"), "Button Buttons");
    // A blank label falls back to the id exactly as passed.
    EXPECT_EQ(SyncChangeSummary::buttonDisplayName("hid_05ac_1234", " \n"), "Button  \n");
}
