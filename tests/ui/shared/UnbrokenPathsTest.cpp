// A banner wraps a message between words, never inside a path it quotes; a path wider
// than a line is cut in its middle, keeping where it starts and the file it names.

#include "ui/shared/PlainText.h"

#include <QApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace velmor {
namespace {

// The lines a label `width` wide breaks `text` into.
QStringList linesOf(const QString& text, const QFont& font, qreal width)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

QString withoutJoiners(QString text) { return text.remove(QChar(0x2060)).replace(QChar(0x00A0), u' '); }

TEST(UnbrokenPaths, APathMovesToTheNextLineWholeOrIsCutInItsMiddle)
{
    const QFont font = QApplication::font();
    const QFontMetricsF metrics(font);
    const QString path = "/home/dr o-neil/.local/share/Velmor/cloud_sync_icons.json";
    const QString message = "The icons as last synced could not be kept in “" + path + "”: No space left on device.";
    const qreal pathWidth = metrics.horizontalAdvance("“" + path + "”:");

    // A little wider than the path: it is on one line of its own, with its quotes.
    const qreal width = pathWidth + metrics.horizontalAdvance("xx");
    const QString shown = plainText::unbrokenPaths(message, metrics, width);
    EXPECT_EQ(withoutJoiners(shown), message);
    const QStringList lines = linesOf(shown, font, width);
    ASSERT_GT(lines.size(), 1);
    bool whole = false;
    for (const QString& line : lines)
        whole = whole || withoutJoiners(line).contains(path);
    EXPECT_TRUE(whole) << withoutJoiners(lines.join(" | ")).toStdString();
    // Without the joiners the same layout breaks the path.
    bool brokenBefore = true;
    for (const QString& line : linesOf(message, font, width))
        brokenBefore = brokenBefore && !line.contains(path);
    EXPECT_TRUE(brokenBefore) << "the case shows nothing";

    // Narrower than the path: cut in its middle, start and file name kept, one line.
    const qreal narrow = pathWidth / 2;
    const QString cut = withoutJoiners(plainText::unbrokenPaths(message, metrics, narrow));
    EXPECT_TRUE(cut.contains("“/home")) << cut.toStdString();
    EXPECT_TRUE(cut.contains("json”: No space")) << cut.toStdString();
    EXPECT_TRUE(cut.contains(u'…')) << cut.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(cut.mid(cut.indexOf(u'“'), cut.indexOf(u'”') - cut.indexOf(u'“') + 1)),
              narrow + 1);

    // Quoted names without "/" and unquoted text are left to wrap as they do.
    const QString names = "Kept “Dr O Neil” and “Scan”.";
    EXPECT_EQ(plainText::unbrokenPaths(names, metrics, 10), names);
    EXPECT_EQ(plainText::unbrokenPaths("a “/b", metrics, 10), "a “/b");
}

} // namespace
} // namespace velmor
