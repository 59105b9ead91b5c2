// Names of a million characters, as another machine may put them into the shared
// folder: every place that fits a name to its room reads only what the room shows,
// so the cut is the same as for a name a few thousand characters long, comes quickly,
// and still never splits a character, a joined emoji, a flag or an escape.
#include "model/UserProfile.h"
#include "platform/Text.h"
#include "platform/TextEnds.h"
#include "ui/shared/NameFit.h"
#include "ui/shared/PlainText.h"
#include "ui/shared/ToolTipRoom.h"
#include "ui/shared/widgets/ElidingComboBox.h"
#include "ui/shared/widgets/MenuRoom.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetricsF>

#include <functional>
#include <numeric>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

const QChar ellipsis(0x2026);
const QChar isolateStart(0x2068);
const QChar isolateEnd(0x2069);

// One piece of a long name, as the text's characters: each one character as a reader sees it.
struct Pattern {
    const char* what;
    QStringList characters;

    QString raw() const { return characters.join(QString()); }
    // Where a character of the pattern ends, escaped as visibleControls escapes it or raw.
    QList<qsizetype> boundaries(bool escaped = true) const
    {
        QList<qsizetype> ends{0};
        for (const QString& character : characters)
            ends.append(ends.back() + (escaped ? text::visibleControls(character) : character).size());
        return ends;
    }
};

const QList<Pattern>& patterns()
{
    static const QList<Pattern> all{
        {"letters", {"W", "i"}},
        {"accents", {"e\u0301", "a\u0308\u0323"}},
        {"a joined emoji", {QString::fromUtf8("\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7")}},
        {"flags", {QString::fromUtf8("\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA"), "-"}},
        {"mixed, with overrides",
         {"A", QString::fromUtf8("\xD7\xA9"), "\u202E", "e\u0301", QString::fromUtf8("\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7"), "\n"}},
    };
    return all;
}

// `pattern` repeated to a name of at least `units` UTF-16 units.
QString repeated(const Pattern& pattern, qsizetype units)
{
    const QString raw = pattern.raw();
    return raw.repeated((units + raw.size() - 1) / raw.size());
}

UserProfile profile(const QString& name)
{
    UserProfile user;
    user.id = QUuid::createUuid();
    user.name = name;
    return user;
}

// How long `work` takes, in ms.
double timed(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

// Generous for a build with sanitizers on a busy machine; reading a whole name of a
// million characters even once (laying it out, splitting it) takes far longer.
constexpr double budgetMs = 250;

// `offset` into the pattern repeated is where one of its characters ends.
bool onABoundary(const Pattern& pattern, qsizetype offset, bool escaped = true)
{
    const QList<qsizetype> ends = pattern.boundaries(escaped);
    return ends.contains(offset % ends.back());
}

} // namespace

TEST(LongNames, FittingReadsOnlyWhatTheRoomShowsAndSplitsNoCharacter)
{
    const QFontMetricsF metrics(QApplication::font());
    for (const Pattern& pattern : patterns()) {
        SCOPED_TRACE(pattern.what);
        const QString raw = repeated(pattern, 1'000'000);
        const QString huge = text::shownName(raw);
        const QString ends = text::shownEnds(raw);
        EXPECT_LT(ends.size(), 300'000) << "only the ends a fit can read are escaped";
        const QString inner = huge.mid(1, huge.size() - 2);
        const QString shorter = text::shownName(repeated(pattern, 30'000));
        for (const qreal width : {1.0, 90.0, 333.0, 700.0}) {
            SCOPED_TRACE(width);
            QString end, middle;
            EXPECT_LT(timed([&] {
                          end = nameFit::fitted(huge, metrics, width);
                          middle = nameFit::fitted(huge, metrics, width, nameFit::Cut::middle);
                      }),
                      budgetMs);
            EXPECT_EQ(end, nameFit::fitted(shorter, metrics, width)) << "the cut does not depend on the length";
            EXPECT_EQ(end, nameFit::fitted(ends, metrics, width));
            EXPECT_EQ(middle, nameFit::fitted(ends, metrics, width, nameFit::Cut::middle));

            for (const QString& cut : {end, middle}) {
                ASSERT_TRUE(cut.startsWith(isolateStart) && cut.endsWith(isolateEnd)) << "isolated as before";
                EXPECT_LE(metrics.horizontalAdvance(cut), std::max(width, metrics.horizontalAdvance(QStringLiteral("\u2068\u2026\u2069"))));
                ASSERT_EQ(cut.count(ellipsis), 1);
                const QString front = cut.mid(1).section(ellipsis, 0, 0);
                const QString back = cut.chopped(1).section(ellipsis, 1);
                EXPECT_TRUE(inner.startsWith(front) && inner.endsWith(back));
                EXPECT_TRUE(onABoundary(pattern, front.size())) << front.right(12).toStdString();
                EXPECT_TRUE(onABoundary(pattern, inner.size() - back.size())) << back.left(12).toStdString();
            }
            EXPECT_TRUE(end.endsWith(QString(ellipsis) + isolateEnd));
            if (width >= 333) {
                EXPECT_FALSE(middle.chopped(1).endsWith(ellipsis)) << "a middle cut keeps the end too";
            }
        }
        // A message holding the name cuts only the name's word.
        const QString message = "Renamed " + huge + " here.";
        QString words;
        EXPECT_LT(timed([&] { words = nameFit::fittedWords(message, metrics, 300); }), budgetMs);
        EXPECT_TRUE(words.startsWith("Renamed ") && words.endsWith(" here.")) << words.left(40).toStdString();
        EXPECT_LT(words.size(), 1000);
    }
}

TEST(LongNames, TooltipsPaintedNamesMenusAndPickersCutAMillionCharactersAtTheirRoomsCost)
{
    const QFontMetricsF metrics(QApplication::font());
    const QString huge = repeated(patterns()[4], 1'000'000);

    // A tooltip: the short name beside it keeps its room, the line keeps its width.
    QString line;
    EXPECT_LT(timed([&] {
                  line = ToolTipRoom().line({{"Map "}, ToolTipRoom::name(huge), {" to "}, ToolTipRoom::name("Zoom")});
              }),
              budgetMs);
    EXPECT_TRUE(line.endsWith(" to \u2068Zoom\u2069")) << line.right(30).toStdString();
    EXPECT_LE(metrics.horizontalAdvance(line), nameFit::toolTipLineWidth(metrics));

    QString painted;
    EXPECT_LT(timed([&] { painted = plainText::paintedName(huge, metrics, 240); }), budgetMs);
    EXPECT_LE(metrics.horizontalAdvance(painted), 240);

    // A picker of two profiles: its entries and its closed face, cut at once.
    ElidingComboBox picker;
    picker.setFixedWidth(200);
    picker.show();
    EXPECT_LT(timed([&] {
                  showProfiles(picker, QList<UserProfile>{profile(huge), profile("Dr. Lee")}, {});
                  picker.setCurrentIndex(0);
                  picker.repaint();
              }),
              budgetMs);
    const MenuRoom room(picker);
    EXPECT_LE(picker.fontMetrics().horizontalAdvance(picker.itemText(0)), room.width() + 1);
    EXPECT_EQ(picker.itemText(1), text::shownName("Dr. Lee"));
    EXPECT_TRUE(picker.shownText().endsWith(QString(ellipsis) + isolateEnd));
    EXPECT_LT(timed([&] { EXPECT_TRUE(room.fitted(text::shownEnds(huge), "  ⌘1").endsWith(isolateEnd)); }), budgetMs);

    // Names where nothing measures their room: cut to a bound, and never inside an escape.
    QString shown, shortened;
    EXPECT_LT(timed([&] {
                  shown = text::displayName(huge);
                  shortened = text::shortenedName(huge);
              }),
              budgetMs);
    EXPECT_LE(shown.size(), text::longestShownName + 2);
    EXPECT_EQ(shown.count('\\'), shown.count("\\u{202E}") + shown.count("\\n"));
    EXPECT_LE(shortened.size(), text::longestShownName);
    EXPECT_TRUE(huge.startsWith(shortened.chopped(1)));
    EXPECT_TRUE(onABoundary(patterns()[4], shortened.size() - 1, false));
}
