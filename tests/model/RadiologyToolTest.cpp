#include "model/RadiologyTool.h"
#include "model/ToolIconSelection.h"
#include "platform/Json.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QProcess>
#include <QSet>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

using namespace velmor;
using Mods = KeyboardShortcut::Modifiers;

namespace {

const char* const kId = "5B0C4F0E-8D3A-4C55-9E61-2F7A1B3C4D5E";

// A minimal valid tool object with `extra` keys added.
RadiologyTool read(const QJsonObject& extra = {}, const char* without = nullptr)
{
    QJsonObject o{{"id", kId}, {"name", "Pan"}, {"systemIcon", "hand.draw"}, {"enabled", true}};
    for (auto it = extra.begin(); it != extra.end(); ++it)
        o.insert(it.key(), it.value());
    if (without)
        o.remove(without);
    return RadiologyTool::fromJson(o);
}

RadiologyTool fullTool()
{
    return {QUuid::fromString(QString::fromLatin1(kId)), "Sign & Close", "checkmark.seal", ToolIconSource::custom,
            "ct.svg", false, true, 0.75, KeyboardShortcut{36, "⏎", Mods(19)},
            QList<KeyboardShortcut>{{35, "P", {}}, {12, "Q", Mods::command}}, true, ToolCategory::mammo};
}

QStringList idsOf(const QList<RadiologyTool>& tools)
{
    QStringList ids;
    for (const RadiologyTool& t : tools)
        ids << t.id.toString(QUuid::WithoutBraces);
    return ids;
}
} // namespace

TEST(RadiologyToolJson, MinimalObjectTakesTheReadingDefaultsAndWritesThemOut)
{
    const RadiologyTool t = read();
    EXPECT_EQ(t.toJson(), (QJsonObject{{"category", "Viewer"}, {"enabled", true}, {"iconSource", "system"},
                                       {"id", kId}, {"isFavorite", false}, {"name", "Pan"},
                                       {"repeatOnHoldEnabled", false}, {"repeatSpeed", 0.5},
                                       {"systemIcon", "hand.draw"}}));
    // Nulls read like absent keys.
    EXPECT_EQ(read({{"repeatOnHoldEnabled", {}}, {"repeatSpeed", {}}, {"shortcut", {}}, {"toggleShortcuts", {}},
                    {"isFavorite", {}}, {"category", {}}, {"customIcon", {}}}),
              t);
}

TEST(RadiologyToolJson, EveryFieldRoundTripsIdsReadInEitherCaseAndRepeatSpeedIsClampedOnReadingOnly)
{
    const RadiologyTool t = fullTool();
    const QByteArray bytes = json::encode(t.toJson());
    EXPECT_TRUE(bytes.contains(kId));
    EXPECT_EQ(RadiologyTool::fromJson(json::parse(bytes)), t);
    EXPECT_EQ(read({{"id", QString::fromLatin1(kId).toLower()}}).id, t.id);

    const std::pair<double, double> speeds[] = {{3, 1}, {1, 1}, {0.95, 0.95}, {0.25, 0.25}, {0, 0}, {-2, 0}};
    for (const auto& [stored, expected] : speeds)
        EXPECT_EQ(read({{"repeatSpeed", stored}}).repeatSpeed, expected) << stored;

    RadiologyTool wild = read();
    wild.repeatSpeed = 1.5;
    EXPECT_EQ(wild.toJson().value("repeatSpeed"), QJsonValue(1.5));
}

TEST(RadiologyToolJson, EmptyToggleListAndCustomIconAreDroppedAndIconSourceIsInferred)
{
    RadiologyTool emptySteps = read({{"toggleShortcuts", QJsonArray()}});
    EXPECT_FALSE(emptySteps.toggleShortcuts);
    emptySteps.toggleShortcuts = QList<KeyboardShortcut>{};
    EXPECT_FALSE(emptySteps.toJson().contains("toggleShortcuts"));

    const RadiologyTool emptyIcon = read({{"customIcon", ""}});
    EXPECT_EQ(emptyIcon.customIcon, QString());
    EXPECT_EQ(emptyIcon.iconSource, ToolIconSource::system);
    EXPECT_FALSE(RadiologyTool::fromJson(emptyIcon.toJson()).customIcon);

    // A custom icon without an "iconSource" key means the custom icon.
    EXPECT_EQ(read({{"customIcon", "ct.svg"}}).iconSource, ToolIconSource::custom);

    const RadiologyTool explicitSystem = read({{"customIcon", "ct.svg"}, {"iconSource", "system"}});
    EXPECT_EQ(explicitSystem.iconSource, ToolIconSource::system);
    EXPECT_EQ(RadiologyTool::fromJson(explicitSystem.toJson()), explicitSystem);

    // A null key is still a key: no inference.
    EXPECT_EQ(read({{"customIcon", "ct.svg"}, {"iconSource", {}}}).iconSource, ToolIconSource::system);
}

TEST(RadiologyToolJson, DecodingFailsOnMissingMistypedOrUnknownValues)
{
    for (const char* key : {"id", "name", "systemIcon", "enabled"})
        EXPECT_THROW(read({}, key), json::DecodeError) << key;

    const QJsonObject bad[] = {
        {{"enabled", {}}},
        {{"id", "{5B0C4F0E-8D3A-4C55-9E61-2F7A1B3C4D5E}"}},
        {{"name", 7}},
        {{"category", "mammo"}},
        {{"iconSource", "Custom"}},
        {{"customIcon", false}},
        {{"repeatSpeed", "fast"}},
        {{"shortcut", QJsonObject{{"keyCode", 70000}, {"key", "W"}, {"modifiers", 0}}}},
        {{"toggleShortcuts", QJsonArray{QJsonObject{{"keyCode", 13}, {"modifiers", 0}}}}},
    };
    for (const QJsonObject& extra : bad)
        EXPECT_THROW(read(extra), json::DecodeError) << json::encode(extra).toStdString();

    EXPECT_EQ(read({{"futureKey", QJsonArray{1, 2}}}), read());
}

TEST(RadiologyToolEquality, EveryFieldCountsAndEqualToolsAndIconSelectionsHashAlike)
{
    const RadiologyTool base = fullTool();
    const std::function<void(RadiologyTool&)> changes[] = {
        [](RadiologyTool& t) { t.id = QUuid::createUuid(); },
        [](RadiologyTool& t) { t.name = "sign & close"; },
        [](RadiologyTool& t) { t.systemIcon = "checkmark"; },
        [](RadiologyTool& t) { t.iconSource = ToolIconSource::system; },
        [](RadiologyTool& t) { t.customIcon = ""; },
        [](RadiologyTool& t) { t.enabled = true; },
        [](RadiologyTool& t) { t.repeatOnHoldEnabled = false; },
        [](RadiologyTool& t) { t.repeatSpeed = 0.5; },
        [](RadiologyTool& t) { t.shortcut->modifiers = Mods(3); },
        [](RadiologyTool& t) { t.toggleShortcuts = QList<KeyboardShortcut>{}; },
        [](RadiologyTool& t) { t.toggleShortcuts->swapItemsAt(0, 1); },
        [](RadiologyTool& t) { t.isFavorite = false; },
        [](RadiologyTool& t) { t.category = ToolCategory::reporting; },
    };
    for (const auto& change : changes) {
        RadiologyTool changed = base;
        change(changed);
        EXPECT_NE(changed, base) << json::encode(changed.toJson()).toStdString();
    }

    RadiologyTool composed = base, decomposed = base, negativeZero = base;
    composed.name = QString("R") + QChar(0x00E9) + "sum" + QChar(0x00E9);
    decomposed.name = QString("Re") + QChar(0x0301) + "sume" + QChar(0x0301);
    composed.repeatSpeed = 0.0;
    decomposed.repeatSpeed = -0.0;
    negativeZero.repeatSpeed = -0.0;
    EXPECT_EQ(composed, decomposed);
    EXPECT_EQ(qHash(composed, 7), qHash(decomposed, 7));
    EXPECT_EQ(QSet<RadiologyTool>({base, composed, decomposed, negativeZero}).size(), 3);

    const ToolIconSelection symbol{ToolIconSource::system, composed.name}, custom{ToolIconSource::custom, composed.name};
    const ToolIconSelection decomposedIcon{ToolIconSource::custom, decomposed.name};
    EXPECT_EQ(qHash(custom, 3), qHash(decomposedIcon, 3));
    EXPECT_EQ(QSet<ToolIconSelection>({symbol, custom, decomposedIcon}).size(), 2);
}

// Ids are unique, a caller's copy is its own, and another process (this binary run again) gets fresh ones.
TEST(ToolCatalogue, IdsAreUniqueStableWithinTheProcessAndFreshInAnother)
{
    QList<RadiologyTool> first = RadiologyTool::defaultTools();
    const QStringList ids = idsOf(first);
    if (qEnvironmentVariableIsSet("VELMOR_PRINT_CATALOGUE_IDS"))
        return void(std::printf("IDS:%s\n", qPrintable(ids.join(','))));
    ASSERT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), 67);
    first[0].id = QUuid();
    EXPECT_EQ(idsOf(RadiologyTool::defaultTools()), ids);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VELMOR_PRINT_CATALOGUE_IDS", "1");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=ToolCatalogue.IdsAreUniqueStableWithinTheProcessAndFreshInAnother"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    const qsizetype at = output.indexOf("IDS:");
    ASSERT_GE(at, 0) << output.toStdString();
    const QStringList theirs = output.mid(at + 4).section('\n', 0, 0).split(',');
    ASSERT_EQ(theirs.size(), 67);
    EXPECT_FALSE(QSet<QString>(ids.begin(), ids.end()).intersects(QSet<QString>(theirs.begin(), theirs.end())));
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
