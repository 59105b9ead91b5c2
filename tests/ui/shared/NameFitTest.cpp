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

// A path cut in its middle keeps its start and its file name, in order; a cut
// that would fall inside an escape leaves the escape whole or out.
TEST(NameFit, AMiddleCutKeepsBothEndsInOrderAndNeverSplitsAnEscape)
{
    const QFontMetricsF metrics(QApplication::font());
    const QString ellipsis(QChar(0x2026));
    const QString path = QStringLiteral("/home/lee/") + QString("Exports\u202Ereversed/").repeated(12) + "profile.json";
    const QString shown = text::visibleControls(path);
    for (qreal width = 60; width <= 500; width += 23) {
        SCOPED_TRACE(width);
        const QString cut = nameFit::fitted(shown, metrics, width, nameFit::Cut::middle);
        EXPECT_LE(metrics.horizontalAdvance(cut), width);
        ASSERT_EQ(cut.count(ellipsis), 1);
        const QString front = cut.section(ellipsis, 0, 0);
        const QString back = cut.section(ellipsis, 1);
        EXPECT_TRUE(shown.startsWith(front) && shown.endsWith(back)) << cut.toStdString();
        EXPECT_GE(front.size(), back.size());
        for (const QString& side : {front, back})
            EXPECT_EQ(side.count(u'\\'), side.count(QStringLiteral("\\u{202E}"))) << "an escape whole or not at all";
    }
}

// In a wrapped text only a word wider than the line is cut; the spaces and
// line breaks between words stay where they were.
TEST(NameFit, FittedWordsCutsOnlyTheWordsWiderThanTheLine)
{
    const QFontMetricsF metrics(QApplication::font());
    const QString file = QStringLiteral("/media/share/") + QString(200, u'x') + QStringLiteral("/Night shift.json");
    const QString message = QStringLiteral("The file could not be written:\n") + file + QStringLiteral(" is a folder.");
    const QString shown = nameFit::fittedWords(message, metrics, 300);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("The file could not be written:\n/media/share/")));
    EXPECT_TRUE(shown.endsWith(QStringLiteral("/Night shift.json is a folder."))) << shown.toStdString();
    EXPECT_EQ(shown.count(QChar(0x2026)), 1);
    for (const QString& word : shown.split(QRegularExpression(QStringLiteral("[ \n]"))))
        EXPECT_LE(metrics.horizontalAdvance(word), 300);
    EXPECT_EQ(nameFit::fittedWords(QStringLiteral("Saved  profiles.json\n"), metrics, 300), QStringLiteral("Saved  profiles.json\n"));
}
