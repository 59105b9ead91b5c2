#include "platform/FileNames.h"

#include <QList>
#include <QStringList>
#include <QTextBoundaryFinder>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

// One character by its code point (fromUcs4 would take a lone U+FEFF for a byte order mark).
QString character(char32_t code)
{
    if (code <= 0xFFFF)
        return QString(QChar(char16_t(code)));
    const QChar pair[] = {QChar(QChar::highSurrogate(code)), QChar(QChar::lowSurrogate(code))};
    return QString(pair, 2);
}

// Where the character after `at` in `whole` ends, or -1 when `at` is inside one.
qsizetype nextCharacterEnd(const QString& whole, qsizetype at)
{
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, whole);
    characters.setPosition(at);
    return characters.isAtBoundary() ? characters.toNextBoundary() : -1;
}

} // namespace

// A name that reads backwards, or hides a character, becomes a file name that
// reads as it is written; the joiners inside words and emoji stay.
TEST(PlainFileNameFrom, ReplacesDirectionMarksAndOtherFormatCharacters)
{
    EXPECT_EQ(plainFileNameFrom(character(0x202E) + "abc RLO user"), "-abc RLO user");
    for (const char32_t mark : {0x061C, 0x200E, 0x200F, 0x202A, 0x202B, 0x202C, 0x202D, 0x202E, 0x2066, 0x2067,
                                0x2068, 0x2069, 0xFEFF, 0x00AD, 0x200B, 0x2060, 0x2028, 0xE0001, 0x1D173})
        EXPECT_EQ(plainFileNameFrom("Dr " + character(mark) + "Lee"), "Dr -Lee") << std::hex << unsigned(mark);
    EXPECT_EQ(plainFileNameFrom(character(0x200F) + ".hidden"), "-.hidden") << "a mark first hides nothing";
    for (const QString& joined : {QStringLiteral("می\u200Cخواهم"), QStringLiteral("👩\u200D💻 Night")})
        EXPECT_EQ(plainFileNameFrom(joined), joined);
    EXPECT_EQ(plainFileNameFrom(character(0xDC00) + "a/b\\c\td"), "-a-b-c-d");
}

// However long the name, the file name fits the file system, cut between whole
// characters (an accent with its letter, an emoji sequence whole) as late as fits.
TEST(PlainFileNameFrom, LongNamesFitByBytesCutBetweenCharacters)
{
    QString mixed;
    const QStringList pieces{"e\u0301", "漢", character(0x1F600), "👩\u200D💻", "x", character(0x20BB7)};
    for (int i = 0; i < 300; ++i)
        mixed += pieces[i % pieces.size()];
    for (const QString& name : {QString(300, u'x'), QString(120, QChar(0x6F22)), mixed}) {
        const QString plain = plainFileNameFrom(name);
        SCOPED_TRACE(name.left(8).toStdString());
        EXPECT_LE(plain.toUtf8().size(), maxFileNameBytes);
        EXPECT_TRUE(name.startsWith(plain));
        const qsizetype next = nextCharacterEnd(name, plain.size());
        ASSERT_GT(next, 0) << "cut inside a character";
        EXPECT_GT(name.left(next).toUtf8().size(), maxFileNameBytes) << "the next character would have fitted";
    }
    for (qsizetype room = 0; room <= 40; ++room)
        EXPECT_GT(nextCharacterEnd(mixed, leftUtf8Bytes(mixed, room).size()), 0) << room;
    // A single character larger than the room leaves nothing rather than half of it.
    EXPECT_EQ(plainFileNameFrom("e" + QString(200, QChar(0x0301))), QString());
}
