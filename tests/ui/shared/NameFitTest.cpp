#include "platform/Text.h"
#include "ui/shared/NameFit.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

const QString ellipsis(QChar(0x2026));

// What is left of the name before the "…", without the isolating marks.
QString keptOf(const QString& fitted)
{
    QString kept = fitted;
    kept.remove(QChar(0x2068)).remove(QChar(0x2069));
    return kept.left(kept.lastIndexOf(ellipsis));
}

} // namespace

// A name is cut to the pixels it is given: as late as fits, between whole
// characters, an escape of a control whole, the isolating marks kept around it.
TEST(NameFit, CutsToTheWidthBetweenWholeCharactersAndEscapes)
{
    const QFontMetricsF metrics(QApplication::font());
    const QString shortName = text::displayName(QStringLiteral("Dr. Lee"));
    EXPECT_EQ(nameFit::fitted(shortName, metrics, 1000), shortName);

    const QString names[] = {text::displayName(QString(300, u'W')),
                             text::displayName(QStringLiteral("e\u0301").repeated(150)),
                             text::displayName(QStringLiteral("ab") + QString(60, QChar(0x202E))),
                             QStringLiteral("Night shift ").repeated(20)};
    for (const QString& name : names) {
        SCOPED_TRACE(name.left(12).toStdString());
        const bool isolated = name.startsWith(QChar(0x2068));
        for (qreal width = 20; width <= 400; width += 37) {
            const QString fitted = nameFit::fitted(name, metrics, width);
            EXPECT_LE(metrics.horizontalAdvance(fitted), width);
            EXPECT_TRUE(fitted.endsWith(isolated ? ellipsis + QChar(0x2069) : ellipsis)) << fitted.toStdString();
            EXPECT_EQ(fitted.startsWith(QChar(0x2068)), isolated);
            const QString kept = keptOf(fitted);
            EXPECT_TRUE(name.contains(kept));
            EXPECT_FALSE(kept.endsWith(u'e')) << "an accent stays with its letter";
            EXPECT_FALSE(kept.endsWith(u' ')) << "no space before the cut";
            EXPECT_FALSE(QString(kept).remove(QRegularExpression(QStringLiteral(R"(\\u\{202E\})"))).contains(u'\\'))
                << "an escape is never cut: " << kept.toStdString();
        }
        // The cut takes the room there is: within one character of the width.
        const QString wide = nameFit::fitted(name, metrics, 300);
        const qreal widestCharacter = metrics.horizontalAdvance(QStringLiteral("\\u{202E}"));
        EXPECT_GT(metrics.horizontalAdvance(wide), 300 - widestCharacter - metrics.horizontalAdvance(ellipsis));
    }
    // No room for a character: the cut alone.
    EXPECT_EQ(nameFit::fitted(names[0], metrics, 1), QStringLiteral("\u2068\u2026\u2069"));
}
