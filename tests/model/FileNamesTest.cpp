#include "model/FileNames.h"

#include <gtest/gtest.h>

using namespace velmor;

TEST(FileNames, OnlyNamesOfOneVisibleEntryOfAFolderArePlain)
{
    for (const char* name : {"ct.svg", "Beta 2.SVG", "x..svg", "Röntgen-Ω.svg"})
        EXPECT_TRUE(isPlainFileName(QString::fromUtf8(name))) << name;
    const QString rejected[] = {
        QString(), ".", "..", ".hidden.svg", "../x.svg", "a/b.svg", "a\\b.svg", QString("a") + QChar(u'\0'),
        "line\nbreak.svg", "del\x7f.svg", QStringLiteral("c1\u0085.svg"), QString("half") + QChar(0xD800),
    };
    for (const QString& name : rejected)
        EXPECT_FALSE(isPlainFileName(name)) << name.toStdString();
}
