#include "StoreFixture.h"
#include "store/ToolIdMap.h"

#include <gtest/gtest.h>

using namespace velmor;
using velmor::test::makeMapping;
using velmor::test::makeTool;

TEST(ToolIdMap, RepointsThroughLowerCasedNamesFirstOccurrenceWinning)
{
    const QUuid shared = QUuid::createUuid();
    // The source repeats an id (the first name counts); the target holds that same
    // id under another name, and repeats a name in other letter cases.
    const QList<RadiologyTool> from{makeTool("ZOOM", shared), makeTool("Pan", shared), makeTool("ÄRGER"),
                                    makeTool("Only Here")};
    const QList<RadiologyTool> to{makeTool("Pan", shared), makeTool("zoom"), makeTool("Zoom"), makeTool("ärger")};
    const QList<ButtonMapping> mappings{makeMapping("tartarus_v2", "K01", shared),
                                        makeMapping("tartarus_v2", "K02", QUuid::createUuid()),
                                        makeMapping("tartarus_v2", "K03", from[3].id),
                                        makeMapping("mouse_5_button", "LEFT_CLICK", from[2].id)};

    const QList<ButtonMapping> moved = toolIdMap(mappings, from, to);
    // Unknown tool id (K02) and a name the target lacks (K03) are dropped; order,
    // mapping ids, devices and buttons stay; ids are never matched directly.
    ASSERT_EQ(moved.size(), 2);
    EXPECT_EQ(moved[0], (ButtonMapping{mappings[0].id, "tartarus_v2", "K01", to[1].id}));
    EXPECT_EQ(moved[1], (ButtonMapping{mappings[3].id, "mouse_5_button", "LEFT_CLICK", to[3].id}));
}
