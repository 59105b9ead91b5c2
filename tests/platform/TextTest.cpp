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
