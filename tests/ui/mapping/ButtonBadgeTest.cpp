// A button's name in the tool list's and the current mappings' badges: a name
// from data like any other.

#include "platform/Text.h"
#include "ui/mapping/MappingToolListModel.h"
#include "ui/mapping/widgets/MappingRow.h"
#include "ui/mapping/widgets/ToolListItem.h"
#include "ui/shared/PlainText.h"
#include "ui/shared/Theme.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

namespace velmor {
namespace {

const QChar ellipsis(0x2026);

// Each badge takes at most a third of its row and ends before the tool's name
// begins; the name beside it still shows whole, and the badge shows the button's
// name escaped, isolated and, when long, cut.
TEST(ButtonBadge, BothListsKeepTheBadgeToAThirdOfTheRowAndTheToolNameBesideIt)
{
    const QString longWord = QStringLiteral("Pneumonoultramicroscopicsilicovolcanoconiosis").repeated(7).left(300);
    const QString cjk = QStringLiteral("左側ボタン長押し").repeated(15);
    const QString reversing = QStringLiteral("K\u202E01\tX\nY");
    const QString toolName = QStringLiteral("Zoom In");
    const QFontMetricsF nameMetrics(Theme::font(Theme::TextStyle::body));
    const QFontMetricsF badgeMetrics(ButtonBadge::font());

    ToolListRow row;
    row.tool.name = toolName;
    row.mapping = ButtonMapping{QUuid::createUuid(), QStringLiteral("tartarus_v2"), {}, row.tool.id};
    for (const int rowWidth : {280, 420, 900}) {
        const QRect rowRect(0, 0, rowWidth, 72);
        for (const QString& id : {QStringLiteral("K05"), longWord, cjk, reversing}) {
            SCOPED_TRACE(QStringLiteral("%1 px, %2").arg(rowWidth).arg(id.left(8)).toStdString());
            row.mapping->buttonId = id;
            const ToolListItem::Layout tools = ToolListItem::layout(rowRect, row);
            ASSERT_TRUE(tools.badge);
            const MappingRow::Layout mappings = MappingRow::layout(rowRect, id);
            for (const auto& [badge, text] : {std::pair{*tools.badge, tools.text}, std::pair{mappings.badge, mappings.text}}) {
                EXPECT_LE(badge.rect.width(), rowWidth / 3.0);
                EXPECT_LE(text.right(), badge.rect.left());
                EXPECT_EQ(plainText::paintedName(toolName, nameMetrics, text.width()), text::shownName(toolName));
                EXPECT_LE(badgeMetrics.horizontalAdvance(badge.text), badge.rect.width());

                const QString& shown = badge.text;
                EXPECT_TRUE(shown.startsWith(QChar(0x2068)) && shown.endsWith(QChar(0x2069))) << "isolated";
                EXPECT_FALSE(shown.contains(QChar(0x202E)) || shown.contains(u'\n') || shown.contains(u'\t'));
                const QString kept = shown.mid(1, shown.size() - 2).remove(ellipsis);
                EXPECT_TRUE(text::visibleControls(id).startsWith(kept)) << "the name's start, in order";
                EXPECT_EQ(kept.count(u'\\'), kept.count(QStringLiteral("\\u{202E}")) + kept.count(QStringLiteral("\\t")) +
                                                 kept.count(QStringLiteral("\\n")))
                    << "an escape whole or not at all";
                if (id.size() > 100) {
                    EXPECT_TRUE(shown.endsWith(QString(ellipsis) + QChar(0x2069)));
                }
            }
        }
    }
    // Room enough: a short name and the escaped one are shown whole.
    row.mapping->buttonId = reversing;
    EXPECT_EQ(ToolListItem::layout(QRect(0, 0, 900, 72), row).badge->text, text::shownName(reversing));
    EXPECT_EQ(MappingRow::layout(QRect(0, 0, 280, 72), QStringLiteral("K05")).badge.text, text::shownName("K05"));
}

} // namespace
} // namespace velmor
