#include "platform/Text.h"

#include <gtest/gtest.h>

using namespace velmor;

TEST(Text, LowercasingIsFullUnicodeAndDoesNotTrim)
{
    EXPECT_EQ(text::lowercased(QStringLiteral(" ÄBC ")), QStringLiteral(" äbc "));
    EXPECT_EQ(text::lowercased(QStringLiteral("ΣΟΦΙΑ")).left(4), QStringLiteral("σοφι"));
    // Capital I with dot above lower-cases to i plus a combining dot (two code points).
    EXPECT_EQ(text::lowercased(QString(QChar(0x0130))), QString("i") + QChar(0x0307));
    // Composed and decomposed forms of one name give one key.
    EXPECT_EQ(text::lowercased(QString(QChar(0x00C9)) + "cho"), text::lowercased(QString("E") + QChar(0x0301) + "CHO"));
}

TEST(Text, CanonicallyEquivalentTextIsEqual)
{
    const QString composed = QString(QChar(0x00E9));        // é
    const QString decomposed = QString("e") + QChar(0x0301); // e + combining acute
    EXPECT_TRUE(text::canonicallyEqual(composed, decomposed));
    EXPECT_EQ(text::canonicalForm(composed), text::canonicalForm(decomposed));
    EXPECT_FALSE(text::canonicallyEqual("w", "W"));
    // Compatibility forms are not canonical: the ligature ﬁ is not "fi".
    EXPECT_FALSE(text::canonicallyEqual(QString(QChar(0xFB01)), "fi"));
}

TEST(Text, LocalizedSortIsCaseInsensitiveAndStable)
{
    QList<QString> names{"beta", "Alpha", "alpha", "Gamma", "ALPHA"};
    text::sortLocalized(names, [](const QString& s) { return s; });
    EXPECT_EQ(names.mid(0, 3), (QList<QString>{"Alpha", "alpha", "ALPHA"}));
    EXPECT_EQ(names.mid(3), (QList<QString>{"beta", "Gamma"}));
}

TEST(Text, ControlAndBidiCharactersOfANameAreWrittenVisibly)
{
    // A name that would fake a second log line, colour the terminal and reverse the rest.
    const QString name = QString("Dr. Lee\n12:00:01 Import Successful: x\r\t") + QChar(0x1B) + "[31m"
        + QChar(0x202E) + "txt.exe" + QChar(0x2069) + QChar(0x7F) + QChar(0x85) + QChar(0x2028);
    EXPECT_EQ(text::visibleControls(name),
              "Dr. Lee\\n12:00:01 Import Successful: x\\r\\t\\u{1B}[31m\\u{202E}txt.exe\\u{2069}\\u{7F}\\u{85}\\u{2028}");
    // Boundaries of the ranges: kept just outside them.
    for (const int kept : {0x20, 0x7E, 0xA0, 0x200D, 0x2027, 0x202F, 0x2065, 0x206A})
        EXPECT_EQ(text::visibleControls(QString(QChar(kept))), QString(QChar(kept))) << kept;
    for (const int escaped : {0x00, 0x1F, 0x9F, 0x200E, 0x200F, 0x2066, 0x061C})
        EXPECT_TRUE(text::visibleControls(QString(QChar(escaped))).startsWith("\\u{")) << escaped;
    // Ordinary text, backslashes and other scripts included, is handed back as it is.
    const QString plain = QString::fromUtf8("C:\\n Zoom – Fenêtre/Niveau 窗口");
    EXPECT_EQ(text::visibleControls(plain), plain);
    EXPECT_EQ(text::visibleControls(plain).constData(), plain.constData()) << "not copied";
}

namespace {
QString isolated(const QString& s) { return QChar(0x2068) + s + QChar(0x2069); }
} // namespace

TEST(Text, ANameShownInVelmorsTextIsIsolatedEscapedAndCut)
{
    // An override or a line break in a name can no longer turn the sentence around it.
    const QString name = QString("Dr. Lee") + QChar(0x202E) + "\nX" + QChar(0x2069);
    EXPECT_EQ(text::displayName(name), isolated("Dr. Lee\\u{202E}\\nX\\u{2069}"));
    EXPECT_EQ(text::displayName("R&D\tCtrl+Q"), isolated("R&D\\tCtrl+Q")) << "no tab to split a menu item";
    EXPECT_EQ(text::displayName(QString()), isolated(QString()));

    // 200 characters stay whole; one more is cut to 199 and "…".
    const QString longest(text::longestShownName, 'a');
    EXPECT_EQ(text::displayName(longest), isolated(longest));
    EXPECT_EQ(text::displayName(longest + "b"), isolated(longest.left(199) + QChar(0x2026)));
    EXPECT_EQ(text::displayName(QString(10'000, 'w')).size(), 202);

    // The cut falls between whole characters: not inside a surrogate pair, a letter
    // with its combining mark, or an escape.
    const QString emoji = QString::fromUtf8("🎮");
    const QString accented = QString("e") + QChar(0x0301);
    for (const QString& piece : {emoji, accented, QString(QChar(0x202E))}) {
        const QString shown = text::displayName(QString(198, 'a') + piece + QString(50, 'z'));
        EXPECT_EQ(shown, isolated(QString(198, 'a') + QChar(0x2026))) << piece.toStdString();
    }
    const QString fits = text::displayName(QString(197, 'a') + emoji + QString(5, 'z'));
    EXPECT_EQ(fits, isolated(QString(197, 'a') + emoji + QChar(0x2026)));
}

TEST(Text, AMessageShownInAnAlertKeepsItsSentenceOnOneLineAndBounded)
{
    const QChar ellipsis(0x2026);
    const QString name = QString("Dr. Lee") + QChar(0x202E) + "\nX";
    EXPECT_EQ(text::displayMessage("User profile '" + name + "' has been imported."),
              "User profile 'Dr. Lee\\u{202E}\\nX' has been imported.");
    const QString plain = QStringLiteral("Could not find associated PACS profile.");
    EXPECT_EQ(text::displayMessage(plain), plain);
    EXPECT_EQ(text::displayMessage(QString()), QString());

    // A run of 200 stays; a longer one keeps both ends, so its closing quote with it.
    const QString run = "'" + QString(198, 'a') + "'";
    EXPECT_EQ(text::displayMessage("Tool " + run + " deleted."), "Tool " + run + " deleted.");
    const QString cut = text::displayMessage("Tool '" + QString(10'000, 'a') + "' deleted.");
    EXPECT_EQ(cut, "Tool '" + QString(98, 'a') + ellipsis + QString(98, 'a') + "' deleted.");

    // Many short words: the whole is cut in the middle, the sentence's start and end kept.
    QString words;
    for (int i = 0; i < 2'000; ++i)
        words += "ab ";
    const QString shown = text::displayMessage("User profile '" + words + "' has been imported.");
    EXPECT_LE(shown.size(), text::longestShownMessage);
    EXPECT_TRUE(shown.startsWith("User profile 'ab ab ")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("ab ' has been imported.")) << shown.toStdString();
    EXPECT_EQ(shown.count(ellipsis), 1);

    // Escapes count as they are shown and are never split: 100 overrides are 800 characters.
    const QString overrides = text::displayMessage("x " + QString(100, QChar(0x202E)) + " y");
    EXPECT_EQ(overrides, "x " + QString("\\u{202E}").repeated(12) + ellipsis + QString("\\u{202E}").repeated(12) + " y");
}

TEST(Text, ASizeOverItsLimitReadsApartFromIt)
{
    EXPECT_EQ(text::sizeOverLimit(5, 4), "5 bytes; the limit is 4 bytes");
    EXPECT_EQ(text::sizeOverLimit(qint64(1) << 30, qint64(64) << 20), "1.0 GiB; the limit is 64.0 MiB");
    // One byte over 64 MiB rounds to 64.0 MiB as well: then both in bytes.
    EXPECT_EQ(text::sizeOverLimit((qint64(64) << 20) + 1, qint64(64) << 20),
              "67,108,865 bytes; the limit is 67,108,864 bytes");
    EXPECT_EQ(text::sizeOverLimit(1025, 1024), "1,025 bytes; the limit is 1,024 bytes");
}
