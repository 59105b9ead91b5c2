#include "store/SyncChangeSummary.h"

#include <gtest/gtest.h>

using namespace velmor;

namespace {

RadiologyTool tool(const QString& name)
{
    RadiologyTool t;
    t.id = QUuid::createUuid();
    t.name = name;
    return t;
}

PacsProfile pacs(const QString& name, QList<RadiologyTool> tools = {})
{
    return PacsProfile{QUuid::createUuid(), name, std::move(tools), std::nullopt};
}

UserProfile user(const QString& name, const QUuid& pacsId, QList<ButtonMapping> mappings = {})
{
    return UserProfile{QUuid::createUuid(), name, pacsId, std::move(mappings), std::nullopt, std::nullopt};
}

ButtonMapping mapping(const QString& deviceId, const QString& buttonId, const QUuid& toolId)
{
    return ButtonMapping{QUuid::createUuid(), deviceId, buttonId, toolId};
}

LoadResult side(QList<PacsProfile> pacsProfiles, QList<UserProfile> userProfiles)
{
    LoadResult result;
    result.pacsProfiles = std::move(pacsProfiles);
    result.userProfiles = std::move(userProfiles);
    result.activePacsProfileId = result.pacsProfiles.value(0).id;
    result.activeUserProfileId = result.userProfiles.value(0).id;
    return result;
}

QString body(const LoadResult& current, const LoadResult& incoming)
{
    const auto notice = SyncChangeSummary::summarize(current, incoming);
    if (!notice)
        return QStringLiteral("<none>");
    EXPECT_EQ(notice->title, "Velmor profiles updated");
    return notice->body;
}

// One store state with a Synthesis profile and one user mapped on the keypad.
struct Fixture {
    RadiologyTool zoom = tool("Zoom");
    RadiologyTool pan = tool("Pan");
    PacsProfile synthesis = pacs("Synthesis", {zoom, pan});
    UserProfile general = user("General", synthesis.id, {mapping("tartarus_v2", "K01", zoom.id)});
    LoadResult current = side({synthesis}, {general});
};

} // namespace

TEST(SyncChangeSummary, NothingToSayForEqualDataOrMissingActiveIds)
{
    Fixture f;
    EXPECT_FALSE(SyncChangeSummary::summarize(f.current, f.current));

    // A payload without active ids says nothing about them, whatever the store holds.
    LoadResult incoming = f.current;
    incoming.activePacsProfileId.reset();
    incoming.activeUserProfileId.reset();
    f.current.activeUserProfileId = QUuid::createUuid();
    EXPECT_FALSE(SyncChangeSummary::summarize(f.current, incoming));
}

TEST(SyncChangeSummary, ListsEveryKindOfChangeInItsFixedOrder)
{
    Fixture f;
    const PacsProfile oldPacs = pacs("Old PACS");
    const UserProfile goneUser = user("Gone User", f.synthesis.id);
    f.current = side({f.synthesis, oldPacs}, {f.general, goneUser});

    PacsProfile synthesis = f.synthesis;
    synthesis.defaultLightingHex = "#7800D1";
    const PacsProfile intelerad = pacs("Intelerad");
    UserProfile general = f.general;
    general.mappings = {mapping("tartarus_v2", "K02", f.zoom.id), mapping("tartarus_v2", "K01", f.pan.id)};
    const UserProfile newUser = user("New User", intelerad.id);
    LoadResult incoming = side({synthesis, intelerad}, {general, newUser});
    incoming.activePacsProfileId = intelerad.id;
    incoming.activeUserProfileId = newUser.id;

    EXPECT_EQ(body(f.current, incoming),
              "PACS profiles added: Intelerad; PACS profiles updated: Synthesis; PACS profiles removed: Old PACS; "
              "User profiles added: New User; User profiles updated: General; User profiles removed: Gone User; "
              "Button 01 remapped to \"Pan\"; Button 02 mapped to \"Zoom\"; "
              "Active PACS profile: Intelerad; Active user profile: New User");
}

TEST(SyncChangeSummary, ActiveProfileLinesNameThePayloadsProfileOrUnknown)
{
    Fixture f;
    UserProfile second = user("  Second  ", f.synthesis.id);
    f.current.userProfiles.append(second);
    LoadResult incoming = f.current;
    incoming.activeUserProfileId = second.id;
    // Names in the active lines stand as stored, untrimmed.
    EXPECT_EQ(body(f.current, incoming), "Active user profile:   Second  ");

    incoming = f.current;
    incoming.activePacsProfileId = QUuid::createUuid();
    EXPECT_EQ(body(f.current, incoming), "Active PACS profile: Unknown");
}

TEST(SyncChangeSummary, NameListsAreTrimmedSortedAndCut)
{
    EXPECT_EQ(SyncChangeSummary::formatNameList({" ", "\n\t", ""}), "Unknown");
    EXPECT_EQ(SyncChangeSummary::formatNameList({"delta", "Alpha", "charlie\n", " bravo", "echo"}),
              "Alpha, bravo, charlie +2 more");
    EXPECT_EQ(SyncChangeSummary::formatNameList({"b", "a", "c"}), "a, b, c");

    // Through the summary: blank names only, and four names.
    Fixture f;
    LoadResult incoming = f.current;
    incoming.pacsProfiles += {pacs("  "), pacs("")};
    EXPECT_EQ(body(f.current, incoming), "PACS profiles added: Unknown");

    incoming = f.current;
    for (const char* name : {"Dora", "carl", "Anna", "Bert"})
        incoming.userProfiles.append(user(name, f.synthesis.id));
    EXPECT_EQ(body(f.current, incoming), "User profiles added: Anna, Bert, carl +1 more");

    // Names equal but for letter case keep their plain order ("Zed" before "zed").
    incoming = f.current;
    incoming.userProfiles += {user("zed", f.synthesis.id), user("Zed", f.synthesis.id)};
    EXPECT_EQ(body(f.current, incoming), "User profiles added: Zed, zed");
}

TEST(SyncChangeSummary, MappingLinesAreSortedCutAndPrefixedOnlyForSeveralProfileNames)
{
    Fixture f;
    UserProfile general = f.general;
    general.mappings = {mapping("speechmike_smp3700", "REC", f.pan.id), mapping("speechmike_smp3700", "FWD", f.pan.id),
                        mapping("mouse_5_button", "LEFT_CLICK", f.zoom.id), mapping("hid_1234", "B7", f.zoom.id)};
    LoadResult incoming = f.current;
    incoming.userProfiles = {general};
    // Five changes: four new mappings and the keypad key that lost its mapping.
    EXPECT_EQ(body(f.current, incoming),
              "User profiles updated: General; Button 01 unmapped; Button B7 mapped to \"Zoom\"; "
              "Button Fwd mapped to \"Pan\"; +2 more mapping changes");

    // Two profiles with different names: each line starts with its profile's name.
    UserProfile other = user("Other", f.synthesis.id, {mapping("tartarus_v2", "K02", f.zoom.id)});
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
    const RadiologyTool cine = tool("Cine");
    const PacsProfile eunity = pacs("eUnity", {cine});
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
}

TEST(SyncChangeSummary, ReorderedOrRecreatedMappingsGiveNoMappingLine)
{
    Fixture f;
    f.general.mappings.append(mapping("tartarus_v2", "K02", f.pan.id));
    f.current.userProfiles = {f.general};

    LoadResult incoming = f.current;
    std::swap(incoming.userProfiles[0].mappings[0], incoming.userProfiles[0].mappings[1]);
    EXPECT_EQ(body(f.current, incoming), "User profiles updated: General");

    incoming = f.current;
    incoming.userProfiles[0].mappings[0].id = QUuid::createUuid();
    EXPECT_EQ(body(f.current, incoming), "User profiles updated: General");

    // Tools put in another order make the PACS profile count as updated.
    incoming = f.current;
    std::swap(incoming.pacsProfiles[0].tools[0], incoming.pacsProfiles[0].tools[1]);
    EXPECT_EQ(body(f.current, incoming), "PACS profiles updated: Synthesis");
}

TEST(SyncChangeSummary, ButtonLabelsFollowTheBuiltInTemplatesOnly)
{
    EXPECT_EQ(SyncChangeSummary::buttonDisplayName("tartarus_v2", "K07"), "Button 07");
    EXPECT_EQ(SyncChangeSummary::buttonDisplayName("mouse_5_button", "LEFT_CLICK"), "Button Left");
    EXPECT_EQ(SyncChangeSummary::buttonDisplayName("speechmike_smp3700", "INS_OVR"), "Button Ins/Ovr");
    // Not a template button: the id is the label.
    EXPECT_EQ(SyncChangeSummary::buttonDisplayName("tartarus_v2", "K99"), "Button K99");
    EXPECT_EQ(SyncChangeSummary::buttonDisplayName("hid_05ac_1234", " B7 "), "Button B7");
    // A label that already says "button " (any case) stays as it is.
    EXPECT_EQ(SyncChangeSummary::buttonDisplayName("hid_05ac_1234", "BUTTON 3"), "BUTTON 3");
    EXPECT_EQ(SyncChangeSummary::buttonDisplayName("hid_05ac_1234", "Buttons"), "Button Buttons");
    // A blank label falls back to the id exactly as passed.
    EXPECT_EQ(SyncChangeSummary::buttonDisplayName("hid_05ac_1234", " \n"), "Button  \n");
}
