#include "store/ToolIdMap.h"

#include <gtest/gtest.h>

using namespace velmor;

namespace {

RadiologyTool tool(const QString& name, const QUuid& id = QUuid::createUuid())
{
    RadiologyTool t;
    t.id = id;
    t.name = name;
    return t;
}

ButtonMapping mapping(const QString& buttonId, const QUuid& toolId)
{
    return ButtonMapping{QUuid::createUuid(), QStringLiteral("tartarus_v2"), buttonId, toolId};
}

} // namespace

TEST(ToolIdMap, MovesMappingsToTheTargetToolOfTheSameLowerCasedNameAndDropsTheRest)
{
    const QList<RadiologyTool> from{tool("Zoom"), tool("Pan"), tool("ÄRGER"), tool("Only Here")};
    const QList<RadiologyTool> to{tool("pan"), tool("ZOOM"), tool("ärger")};
    const QList<ButtonMapping> mappings{mapping("K01", from[1].id), mapping("K02", QUuid::createUuid()),
                                        mapping("K03", from[3].id), mapping("K04", from[0].id),
                                        mapping("K05", from[2].id)};

    const QList<ButtonMapping> moved = toolIdMap(mappings, from, to);

    // Unknown tool id (K02) and a name the target lacks (K03) are dropped; order,
    // mapping ids, devices and buttons stay.
    ASSERT_EQ(moved.size(), 3);
    EXPECT_EQ(moved[0], (ButtonMapping{mappings[0].id, "tartarus_v2", "K01", to[0].id}));
    EXPECT_EQ(moved[1], (ButtonMapping{mappings[3].id, "tartarus_v2", "K04", to[1].id}));
    EXPECT_EQ(moved[2], (ButtonMapping{mappings[4].id, "tartarus_v2", "K05", to[2].id}));
    EXPECT_TRUE(toolIdMap({}, from, to).isEmpty());
    EXPECT_TRUE(toolIdMap(mappings, from, {}).isEmpty());
}

TEST(ToolIdMap, FirstOccurrenceWinsOnRepeatedIdsAndNames)
{
    const QUuid shared = QUuid::createUuid();
    // The source repeats an id: the first tool's name counts.
    const QList<RadiologyTool> from{tool("Magnify", shared), tool("Pan", shared)};
    // The target repeats a name in another letter case: the first tool gets the mapping.
    const QList<RadiologyTool> to{tool("Pan"), tool("MAGNIFY"), tool("magnify")};

    const QList<ButtonMapping> moved = toolIdMap({mapping("K01", shared)}, from, to);
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(moved[0].toolId, to[1].id);
}

TEST(ToolIdMap, NeverMatchesIdsDirectly)
{
    const QUuid id = QUuid::createUuid();
    const QList<RadiologyTool> from{tool("Zoom", id)};
    // The target holds the same id under another name, and the name under another id.
    const QList<RadiologyTool> to{tool("Pan", id), tool("zoom")};
    const QList<ButtonMapping> moved = toolIdMap({mapping("K01", id)}, from, to);
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(moved[0].toolId, to[1].id);

    // The same list on both sides keeps existing tools and drops vanished ones.
    const QList<RadiologyTool> same{tool("Zoom", id)};
    EXPECT_EQ(toolIdMap({mapping("K01", id), mapping("K02", QUuid::createUuid())}, same, same).size(), 1);
}
