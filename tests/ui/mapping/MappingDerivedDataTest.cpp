#include "ui/mapping/MappingDerivedData.h"

#include <gtest/gtest.h>

namespace velmor {
namespace {

RadiologyTool makeTool(const QString& name, ToolCategory category, bool enabled = true, bool favourite = false)
{
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = name;
    tool.category = category;
    tool.enabled = enabled;
    tool.isFavorite = favourite;
    return tool;
}

QStringList names(const QList<RadiologyTool>& tools)
{
    QStringList list;
    for (const RadiologyTool& tool : tools)
        list.append(tool.name);
    return list;
}

class MappingDerivedDataTest : public ::testing::Test {
protected:
    const RadiologyTool zoom = makeTool("Zoom", ToolCategory::viewer, true, true);
    const RadiologyTool pan = makeTool("Pan", ToolCategory::viewer);
    const RadiologyTool hidden = makeTool("Hidden Tool", ToolCategory::viewer, false);
    const RadiologyTool dictate = makeTool("Start Dictation", ToolCategory::reporting);
    const RadiologyTool sign = makeTool("SignReport", ToolCategory::reporting);
    const RadiologyTool spot = makeTool("Spot Compression", ToolCategory::mammo);
    const PacsProfile pacs{QUuid::createUuid(), "PACS", {zoom, pan, hidden, dictate, sign, spot}, std::nullopt};
};

TEST_F(MappingDerivedDataTest, ToolListKeepsEnabledToolsFilteredAndGroupedWithFavouritesOnce)
{
    using namespace mappingData;
    const QList<RadiologyTool> active = activeTools(pacs);
    EXPECT_EQ(names(active), (QStringList{"Zoom", "Pan", "Start Dictation", "SignReport", "Spot Compression"}));
    EXPECT_EQ(firstEnabledToolId(pacs), zoom.id);

    // The search is case-blind, untrimmed, names only; the filter keeps its category.
    EXPECT_EQ(names(filteredTools(active, ToolFilter::reporting, "REPORT")), QStringList{"SignReport"});
    EXPECT_EQ(names(filteredTools(active, ToolFilter::all, " ")), (QStringList{"Start Dictation", "Spot Compression"}));
    EXPECT_TRUE(filteredTools(active, ToolFilter::mammo, "zoom").isEmpty());

    const QList<ToolGroup> groups = groupedTools(active);
    QStringList titles;
    for (const ToolGroup& group : groups)
        titles.append(group.title + ": " + names(group.tools()).join(","));
    EXPECT_EQ(titles, (QStringList{"⭐ Favorites: Zoom", "Viewer: Pan", "Reporting: Start Dictation,SignReport",
                                   "Mammo: Spot Compression"}));
    EXPECT_EQ(names(groupedTools(filteredTools(active, ToolFilter::viewer, "zoom")).first().tools()), QStringList{"Zoom"});
    EXPECT_TRUE(groupedTools({}).isEmpty());
    EXPECT_EQ(firstEnabledToolId(PacsProfile{QUuid::createUuid(), "Off", {hidden}, std::nullopt}), std::nullopt);
}

TEST_F(MappingDerivedDataTest, MappingsOfTheDeviceJoinTheirToolsEnabledOrNot)
{
    using namespace mappingData;
    const ButtonMapping k1{QUuid::createUuid(), "tartarus_v2", "K01", hidden.id};
    const ButtonMapping gone{QUuid::createUuid(), "tartarus_v2", "K02", QUuid::createUuid()};
    const ButtonMapping other{QUuid::createUuid(), "speechmike_smp3700", "K01", pan.id};
    const ButtonMapping k1Again{QUuid::createUuid(), "tartarus_v2", "K01", pan.id};
    const UserProfile user{QUuid::createUuid(), "User", pacs.id, {k1, gone, other, k1Again}, std::nullopt, std::nullopt};

    const QList<ButtonMapping> mappings = activeMappings(user, "tartarus_v2");
    EXPECT_EQ(mappings, (QList<ButtonMapping>{k1, gone, k1Again}));
    const QList<MappingEntry> entries = mappingEntries(mappings, pacs);
    ASSERT_EQ(entries.size(), 2) << "a mapping whose tool is gone has no entry";
    EXPECT_EQ(entries[0].tool.name, "Hidden Tool") << "a disabled tool is still listed";
    EXPECT_EQ(entries[1].id(), k1Again.id);

    EXPECT_EQ(mappingForButton(mappings, QString("K01")), k1) << "the first mapping of the button";
    EXPECT_EQ(mappingForButton(mappings, QString()), std::nullopt);
    EXPECT_EQ(mappingForButton(mappings, std::nullopt), std::nullopt);
}

} // namespace
} // namespace velmor
