#include "model/KeyTables.h"
#include "model/RadiologyTool.h"
#include "platform/Text.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

using namespace velmor;

namespace {

const char* const kPrintIds = "VELMOR_PRINT_CATALOGUE_IDS";

QStringList idsOf(const QList<RadiologyTool>& tools)
{
    QStringList ids;
    for (const RadiologyTool& t : tools)
        ids << t.id.toString(QUuid::WithoutBraces);
    return ids;
}

// The code the key text of a catalogue shortcut stands for, through either table.
std::optional<std::uint16_t> codeForKeyText(const QString& key)
{
    if (const auto it = keyCodesByName().constFind(text::lowercased(key)); it != keyCodesByName().cend())
        return *it;
    for (auto it = specialKeyCodes().cbegin(); it != specialKeyCodes().cend(); ++it) {
        if (it.key().keyText() == key)
            return it.value();
    }
    return std::nullopt;
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

// Helper for the next test: run as a child process, prints this process's ids.
TEST(ToolCatalogue, PrintIdsForParentProcess)
{
    if (!qEnvironmentVariableIsSet(kPrintIds))
        return;
    std::printf("IDS:%s\n", qPrintable(idsOf(RadiologyTool::defaultTools()).join(',')));
}

TEST(ToolCatalogue, AnotherProcessGetsOtherIds)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kPrintIds, "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=ToolCatalogue.PrintIdsForParentProcess"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    const qsizetype at = output.indexOf("IDS:");
    ASSERT_GE(at, 0) << output.toStdString();
    const QStringList theirs = output.mid(at + 4).section('\n', 0, 0).split(',');
    ASSERT_EQ(theirs.size(), 67);

    const QStringList ours = idsOf(RadiologyTool::defaultTools());
    EXPECT_TRUE(QSet<QString>(ours.begin(), ours.end()).intersect(QSet<QString>(theirs.begin(), theirs.end())).isEmpty());
}

TEST(ToolCatalogue, EveryToolIsAnEnabledSymbolToolWhoseShortcutMatchesItsKeyText)
{
    const QList<RadiologyTool> tools = RadiologyTool::defaultTools();
    QHash<ToolCategory, int> perCategory;
    for (const RadiologyTool& t : tools) {
        SCOPED_TRACE(t.name.toStdString());
        EXPECT_TRUE(t.enabled);
        EXPECT_EQ(t.iconSource, ToolIconSource::system);
        EXPECT_FALSE(t.customIcon);
        EXPECT_FALSE(t.repeatOnHoldEnabled);
        EXPECT_EQ(t.repeatSpeed, 0.5);
        EXPECT_FALSE(t.isFavorite);
        ASSERT_TRUE(t.shortcut);
        EXPECT_EQ(codeForKeyText(t.shortcut->key), t.shortcut->keyCode);
        EXPECT_EQ(RadiologyTool::fromJson(t.toJson()), t);
        ++perCategory[t.category];
    }
    EXPECT_EQ(perCategory.value(ToolCategory::viewer), 52);
    EXPECT_EQ(perCategory.value(ToolCategory::reporting), 14);
    EXPECT_EQ(perCategory.value(ToolCategory::mammo), 1);

    // The last tool alone is a toggle; its shortcut is its first step.
    for (qsizetype i = 0; i + 1 < tools.size(); ++i)
        EXPECT_FALSE(tools[i].toggleShortcuts) << i;
    const RadiologyTool& toggle = tools.last();
    ASSERT_TRUE(toggle.isToggle());
    ASSERT_EQ(toggle.toggleShortcuts->size(), 2);
    EXPECT_EQ(toggle.toggleShortcuts->at(0).keyCode, 35);
    EXPECT_EQ(toggle.toggleShortcuts->at(1).keyCode, 12);
    EXPECT_EQ(toggle.shortcut, toggle.toggleShortcuts->first());
}
