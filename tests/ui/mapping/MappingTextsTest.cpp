// Texts the mapping window builds: shortcut texts, tooltips, the save state,
// the event log's copied lines.

#include "ui/mapping/MappingTexts.h"
#include "platform/Text.h"

#include <QFontMetricsF>
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace velmor {
namespace {

using Modifiers = KeyboardShortcut::Modifiers;

RadiologyTool toolWith(std::optional<KeyboardShortcut> shortcut)
{
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = QStringLiteral("Zoom");
    tool.shortcut = std::move(shortcut);
    return tool;
}

// A UTC time whose local time of day is h:m:s today.
QDateTime localTime(int h, int m, int s) { return QDateTime(QDate(2024, 3, 5), QTime(h, m, s)).toUTC(); }

TEST(MappingTextsTest, ShortcutTextIsTheModifierGlyphsInFixedOrderThenTheKeyUpperCased)
{
    // Every modifier, given in another order, reads control option shift command.
    const KeyboardShortcut all{40, QStringLiteral("k"),
                               Modifiers{Modifiers::command, Modifiers::shift, Modifiers::option, Modifiers::control}};
    EXPECT_EQ(mappingText::shortcutText(toolWith(all)).toUtf8(), QByteArray("\xE2\x8C\x83\xE2\x8C\xA5\xE2\x87\xA7\xE2\x8C\x98K"));
    EXPECT_EQ(mappingText::shortcutText(toolWith(KeyboardShortcut{96, QStringLiteral("f5"), {}})), "F5");
    EXPECT_EQ(mappingText::shortcutText(toolWith(std::nullopt)), QString());

    // A toggle tool shows its shortcut only, never its steps.
    RadiologyTool toggle = toolWith(std::nullopt);
    toggle.toggleShortcuts = QList<KeyboardShortcut>{{1, QStringLiteral("a"), {}}, {2, QStringLiteral("b"), {}}};
    EXPECT_EQ(mappingText::shortcutText(toggle), QString());
}

TEST(MappingTextsTest, TooltipsNameTheShortcutAndTheButton)
{
    const RadiologyTool zoom = toolWith(KeyboardShortcut{6, QStringLiteral("z"), Modifiers::command});
    const ButtonMapping mapping{QUuid::createUuid(), QStringLiteral("tartarus_v2"), QStringLiteral("K07"), zoom.id};
    const QString shownZoom = text::displayName("Zoom");
    EXPECT_EQ(mappingText::toolHelp(zoom, mapping), shownZoom + ": ⌘Z • Mapped to " + text::displayName("K07"));
    EXPECT_EQ(mappingText::toolHelp(toolWith(std::nullopt), std::nullopt), shownZoom + ": No shortcut • Unmapped");

    DeviceButton button;
    button.id = QStringLiteral("K07");
    button.displayLabel = QStringLiteral("07");
    EXPECT_EQ(mappingText::canvasButtonHelp(button, zoom), "Button " + text::displayName("07") + ": " + shownZoom);
    EXPECT_EQ(mappingText::canvasButtonHelp(button, std::nullopt), "Button " + text::displayName("07") + ": Unmapped");
}

// A button's name in a tooltip is a name like the tool's: escaped, isolated and
// cut to a tooltip's room, and no line is wider than a tooltip's line.
TEST(MappingTextsTest, TooltipsEscapeIsolateAndCutTheNamesTheyShow)
{
    const QFontMetricsF metrics(QGuiApplication::font());
    const qreal average = qRound(metrics.averageCharWidth());
    const QChar ellipsis(0x2026);
    const RadiologyTool zoom = toolWith(KeyboardShortcut{6, QStringLiteral("z"), Modifiers::command});
    ButtonMapping mapping{QUuid::createUuid(), QStringLiteral("tartarus_v2"), QStringLiteral("K\u202E0\t7\nB"), zoom.id};
    const QString reversed = mappingText::toolHelp(zoom, mapping);
    EXPECT_TRUE(reversed.endsWith(QStringLiteral(" • Mapped to \u2068K\\u{202E}0\\t7\\nB\u2069"))) << reversed.toStdString();
    EXPECT_FALSE(reversed.contains(QChar(0x202E)) || reversed.contains(u'\n') || reversed.contains(u'\t'));

    const QString word = QStringLiteral("Supercalifragilistic").repeated(15);
    mapping.buttonId = word;
    RadiologyTool longTool = zoom;
    longTool.name = QStringLiteral("Window level ").repeated(20);
    DeviceButton button;
    button.displayLabel = word;
    for (const auto& [help, names] : {std::pair{mappingText::toolHelp(zoom, mapping), 1},
                                      std::pair{mappingText::toolHelp(longTool, mapping), 2},
                                      std::pair{mappingText::canvasButtonHelp(button, longTool), 2}}) {
        SCOPED_TRACE(help.toStdString());
        EXPECT_LE(metrics.horizontalAdvance(help), 100 * average);
        EXPECT_FALSE(help.contains(word));
        EXPECT_EQ(help.count(QString(ellipsis) + QChar(0x2069)), names) << "each long name cut at its end, inside its marks";
        EXPECT_EQ(help.count(QChar(0x2068)), help.count(QChar(0x2069)));
        // Each name within a tooltip's room for one.
        for (const QString& part : help.split(QChar(0x2068)).mid(1))
            EXPECT_LE(metrics.horizontalAdvance(part.section(QChar(0x2069), 0, 0)), 60 * average);
    }
    // One long name beside a short one takes the room a single name has.
    const QString alone = mappingText::toolHelp(zoom, mapping);
    EXPECT_GT(metrics.horizontalAdvance(alone.section(QStringLiteral("Mapped to "), 1)), 55 * average);
}

TEST(MappingTextsTest, SaveStateAndDeviceRowTexts)
{
    const QLocale c = QLocale::c();
    EXPECT_EQ(mappingText::savedText(std::nullopt, c), "Not saved yet");
    EXPECT_EQ(mappingText::savedText(localTime(9, 5, 59), c), "Saved 09:05") << "hours and minutes, no date";

    EXPECT_EQ(mappingText::capitalized(QStringLiteral("keypad")), "Keypad");
    EXPECT_EQ(mappingText::capitalized(QStringLiteral("dICTATION mic")), "Dictation Mic");

    EXPECT_EQ(mappingText::connectedDeviceName({1, 2, QStringLiteral("Tartarus"), QStringLiteral("tartarus_v2"), false}),
              "Tartarus");
    EXPECT_EQ(mappingText::connectedDeviceName({1, 2, std::nullopt, QStringLiteral("tartarus_v2"), false}), "tartarus_v2");
    EXPECT_EQ(mappingText::connectedDeviceName({1, 2, std::nullopt, std::nullopt, false}), "Unknown");
}

TEST(MappingTextsTest, CopiedLogIsNewestFirstWithSecondsAndNoTrailingLineBreak)
{
    const QList<LogEntry> logs{{QUuid::createUuid(), localTime(14, 3, 7), QStringLiteral("Dispatch Zoom")},
                               {QUuid::createUuid(), localTime(14, 3, 9), QStringLiteral("[warning] Sync: off")}};
    EXPECT_EQ(mappingText::eventLogText(logs, QLocale::c()).toUtf8(),
              QByteArray("14:03:09 [warning] Sync: off\n14:03:07 Dispatch Zoom"));
    EXPECT_EQ(mappingText::eventLogText({}, QLocale::c()), QString()) << "an empty log copies the empty text";

    // A twelve-hour locale gets its seconds after the minutes, before the day period.
    const QString american = mappingText::mediumTime(localTime(14, 3, 7), QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(american.startsWith(QStringLiteral("2:03:07"))) << american.toStdString();
    EXPECT_TRUE(american.contains(QStringLiteral("PM"))) << american.toStdString();
    // Rows show the time without seconds.
    EXPECT_EQ(mappingText::logRowTime(localTime(14, 3, 7), QLocale::c()), "14:03");
}

} // namespace
} // namespace velmor
