#include "model/FileNames.h"

#include <gtest/gtest.h>

using namespace velmor;

TEST(FileNames, AcceptsOrdinaryNamesIncludingSpacesDotsAndNonAscii)
{
    for (const QString& name : {QStringLiteral("ct.svg"), QStringLiteral("Beta 2.SVG"), QStringLiteral("x..svg"),
                                QStringLiteral("Röntgen-Ω.svg"), QStringLiteral("a"), QStringLiteral("😀.svg")})
        EXPECT_TRUE(isPlainFileName(name)) << name.toStdString();
}

TEST(FileNames, RejectsAnythingThatIsNotExactlyOneVisibleEntryOfAFolder)
{
    const QString rejected[] = {
        QString(), QStringLiteral("."), QStringLiteral(".."), QStringLiteral(".hidden.svg"),
        QStringLiteral("../x.svg"), QStringLiteral("a/b.svg"), QStringLiteral("/abs.svg"), QStringLiteral("a\\b.svg"),
        QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b"), QStringLiteral("line\nbreak.svg"),
        QStringLiteral("tab\t.svg"), QStringLiteral("del\x7f.svg"), QStringLiteral("c1\u0085.svg"),
        QStringLiteral("half") + QChar(0xD800) + QStringLiteral(".svg"),
    };
    for (const QString& name : rejected)
        EXPECT_FALSE(isPlainFileName(name)) << name.toStdString();
}
