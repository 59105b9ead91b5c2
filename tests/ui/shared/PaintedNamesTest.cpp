#include "ui/shared/PaintedNames.h"
#include "ui/shared/PlainText.h"

#include <QApplication>
#include <QFontMetricsF>

#include <gtest/gtest.h>

using namespace velmor;

// A remembered name is the one the view would have cut itself: for the font and
// the width it is asked for, never one remembered for another font or width,
// also after the memory filled and forgot, and for names too long to remember.
TEST(PaintedNames, GivesWhatPaintedNameGivesForEachFontAndWidth)
{
    QFont regular = QApplication::font();
    QFont bold = regular;
    bold.setBold(true);
    QFont large = regular;
    large.setPointSizeF(regular.pointSizeF() * 2);
    const QList<QString> names{QStringLiteral("Hanging protocol “3” → step 12"), QStringLiteral("Zoom"),
                               QStringLiteral("ab\u202Ecd\nef"), QString(1500, u'W')};
    PaintedNames painted(5);
    for (int round = 0; round < 2; ++round) {
        for (const QString& name : names) {
            for (const QFont& font : {regular, bold, large}) {
                for (const qreal width : {30.0, 30.5, 90.0, 400.0}) {
                    SCOPED_TRACE(name.left(12).toStdString() + " " + std::to_string(width));
                    EXPECT_EQ(painted(name, font, width), plainText::paintedName(name, QFontMetricsF(font), width));
                }
            }
        }
    }
}
