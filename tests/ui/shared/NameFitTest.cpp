#include "platform/Text.h"
#include "ui/shared/NameFit.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace velmor;

// A name is cut to the pixels it is given: as late as fits, between whole
// characters, an escape of a control whole, the isolating marks kept around it.
TEST(NameFit, CutsToTheWidthBetweenWholeCharactersAndEscapes)
{
    const QFontMetricsF metrics(QApplication::font());
    const QString shortName = text::displayName(QStringLiteral("Dr. Lee"));
    EXPECT_EQ(nameFit::fitted(shortName, metrics, 1000), shortName);
    EXPECT_EQ(nameFit::fitted(text::displayName(QString(300, u'W')), metrics, 1), QStringLiteral("\u2068\u2026\u2069"));

    const QString ellipsis(QChar(0x2026));
    const qreal widestCharacter = metrics.horizontalAdvance(QStringLiteral("\\u{202E}"));
    for (const QString& name : {text::displayName(QString(300, u'W')), text::displayName(QString("e\u0301").repeated(150)),
                                text::displayName("ab" + QString(60, QChar(0x202E))), QString("Night shift ").repeated(20)}) {
        SCOPED_TRACE(name.left(12).toStdString());
        const bool isolated = name.startsWith(QChar(0x2068));
        for (qreal width = 20; width <= 400; width += 37) {
            const QString fitted = nameFit::fitted(name, metrics, width);
            EXPECT_LE(metrics.horizontalAdvance(fitted), width);
            EXPECT_GT(metrics.horizontalAdvance(fitted), width - widestCharacter - metrics.horizontalAdvance(ellipsis));
            EXPECT_TRUE(fitted.endsWith(isolated ? ellipsis + QChar(0x2069) : ellipsis)) << fitted.toStdString();
            const QString kept = fitted.mid(isolated ? 1 : 0).section(ellipsis, 0, 0);
            EXPECT_TRUE(name.contains(kept));
            EXPECT_FALSE(kept.endsWith(u'e') || kept.endsWith(u' ')) << "an accent stays, no space before the cut";
            EXPECT_FALSE(QString(kept).remove(QRegularExpression(R"(\\u\{202E\})")).contains(u'\\')) << "a whole escape";
        }
    }
}
