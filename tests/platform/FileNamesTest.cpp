#include "platform/FileNames.h"

#include <QList>
#include <QStringList>
#include <QTextBoundaryFinder>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

// One character by its code point (fromUcs4 would take a lone U+FEFF for a byte order mark).
QString u32(char32_t code)
{
    if (code <= 0xFFFF)
        return QString(QChar(char16_t(code)));
    const QChar pair[] = {QChar(QChar::highSurrogate(code)), QChar(QChar::lowSurrogate(code))};
    return QString(pair, 2);
}

// Names of the three kinds a profile may have: Latin, CJK, and a mix of
// accents written as combining marks, supplementary characters and emoji sequences.
QString mixedName(qsizetype characters)
{
    const QStringList pieces{QStringLiteral("e\u0301"), QStringLiteral("漢"), u32(0x1F600),
                             QStringLiteral("👩\u200D💻"), QStringLiteral("x"), u32(0x20BB7)};
    QString name;
    for (qsizetype i = 0; i < characters; ++i)
        name += pieces[i % pieces.size()];
    return name;
}

bool endsBetweenCharacters(const QString& whole, qsizetype at)
{
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, whole);
    characters.setPosition(at);
    return characters.isAtBoundary();
}

} // namespace

// A name that reads backwards, or hides a character, becomes a file name that
// reads as it is written; the joiners inside words and emoji stay.
TEST(PlainFileNameFrom, ReplacesDirectionMarksAndOtherFormatCharacters)
{
    EXPECT_EQ(plainFileNameFrom(QChar(0x202E) + QStringLiteral("abc RLO user")), QStringLiteral("-abc RLO user"));
    const QList<char32_t> marks{0x061C, 0x200E, 0x200F, 0x202A, 0x202B, 0x202C, 0x202D, 0x202E, 0x2066,
                                0x2067, 0x2068, 0x2069, 0xFEFF, 0x00AD, 0x200B, 0x2060, 0x2028, 0x2029,
                                0xE0001, 0xE0041, 0x1D173};
    for (const char32_t mark : marks) {
        const QString name = QStringLiteral("Dr ") + u32(mark) + QStringLiteral("Lee");
        EXPECT_EQ(plainFileNameFrom(name), QStringLiteral("Dr -Lee")) << std::hex << unsigned(mark);
    }
    // Only the file name changes: a mark at the start does not hide the file.
    EXPECT_EQ(plainFileNameFrom(u32(0x200F) + QStringLiteral(".hidden")), QStringLiteral("-.hidden"));
    const QString persian = QStringLiteral("می\u200Cخواهم");
    const QString coder = QStringLiteral("👩\u200D💻 Night");
    EXPECT_EQ(plainFileNameFrom(persian), persian);
    EXPECT_EQ(plainFileNameFrom(coder), coder);
    EXPECT_EQ(plainFileNameFrom(QStringLiteral("a/b\\c\td")), QStringLiteral("a-b-c-d"));
    EXPECT_EQ(plainFileNameFrom(QString(QChar(0xDC00)) + QStringLiteral("x")), QStringLiteral("-x"));
    EXPECT_EQ(plainFileNameFrom(QStringLiteral("..")), QString());
}

// However long the name, the file name fits the file system, cut between whole
// characters and as late as the limit allows.
TEST(PlainFileNameFrom, LongNamesFitByBytesCutBetweenCharacters)
{
    const QList<QString> names{QString(300, u'x'), QString(120, QChar(0x6F22)), mixedName(300)};
    for (const QString& name : names) {
        const QString plain = plainFileNameFrom(name);
        SCOPED_TRACE(name.left(8).toStdString());
        EXPECT_LE(plain.toUtf8().size(), maxFileNameBytes);
        EXPECT_TRUE(name.startsWith(plain));
        EXPECT_TRUE(plain.isValidUtf16());
        EXPECT_TRUE(endsBetweenCharacters(name, plain.size()));
        // The next character would not have fitted.
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, name);
        characters.setPosition(plain.size());
        EXPECT_GT(name.left(characters.toNextBoundary()).toUtf8().size(), maxFileNameBytes);
    }
    EXPECT_EQ(plainFileNameFrom(QString(300, u'x')).size(), maxFileNameBytes);
    EXPECT_EQ(plainFileNameFrom(QString(120, QChar(0x6F22))).size(), maxFileNameBytes / 3);
    // A short name is left whole.
    EXPECT_EQ(plainFileNameFrom(mixedName(12)), mixedName(12));

    // Room left for a suffix: the accent stays with its letter, the emoji sequence whole.
    const QString mixed = mixedName(300);
    for (qsizetype room = 0; room <= 40; ++room) {
        const QString cut = leftUtf8Bytes(mixed, room);
        EXPECT_LE(cut.toUtf8().size(), room);
        EXPECT_TRUE(endsBetweenCharacters(mixed, cut.size())) << room;
    }
    // A single character larger than the room leaves nothing rather than half of it.
    EXPECT_EQ(leftUtf8Bytes(QStringLiteral("e") + QString(200, QChar(0x0301)), maxFileNameBytes), QString());
    EXPECT_EQ(plainFileNameFrom(QStringLiteral("e") + QString(200, QChar(0x0301))), QString());
}
