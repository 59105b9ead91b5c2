#include "model/RadiologyTool.h"

#include <QSet>

#include <gtest/gtest.h>

#include <thread>

using namespace velmor;

namespace {
QStringList idsOf(const QList<RadiologyTool>& tools)
{
    QStringList ids;
    for (const RadiologyTool& t : tools)
        ids << t.id.toString(QUuid::WithoutBraces);
    return ids;
}
} // namespace

TEST(ToolCatalogue, IdsAreUniqueAndStableWithinTheProcess)
{
    QList<RadiologyTool> fromThread;
    std::thread([&fromThread] { fromThread = RadiologyTool::defaultTools(); }).join();
    QList<RadiologyTool> first = RadiologyTool::defaultTools();
    ASSERT_EQ(first.size(), 67);
    EXPECT_EQ(idsOf(fromThread), idsOf(first));
    const QStringList ids = idsOf(first);
    EXPECT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), 67);

    // A caller's copy is its own.
    first[0].id = QUuid();
    EXPECT_EQ(idsOf(RadiologyTool::defaultTools()), ids);
}

TEST(ToolCatalogue, EveryToolHasAShortcutAndSurvivesAWriteAndReadBack)
{
    const QList<RadiologyTool> tools = RadiologyTool::defaultTools();
    for (const RadiologyTool& t : tools) {
        SCOPED_TRACE(t.name.toStdString());
        EXPECT_TRUE(t.enabled);
        ASSERT_TRUE(t.shortcut); // a key name missing from the tables would leave none
        EXPECT_EQ(RadiologyTool::fromJson(t.toJson()), t);
    }

    // The last tool alone is a toggle; its shortcut is its first step.
    for (qsizetype i = 0; i + 1 < tools.size(); ++i)
        EXPECT_FALSE(tools[i].toggleShortcuts) << i;
    const RadiologyTool& toggle = tools.last();
    ASSERT_TRUE(toggle.isToggle());
    ASSERT_EQ(toggle.toggleShortcuts->size(), 2);
    EXPECT_EQ(toggle.shortcut, toggle.toggleShortcuts->first());
}
