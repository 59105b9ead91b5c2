#include "IconMachines.h"

#include <gtest/gtest.h>

using namespace velmor;
using namespace velmor::test;

namespace {

class IconKeptCopies : public IconMachines {};

// A and B both change an icon while apart. When B's check of A's drawing gives no
// verdict (no drawing program, a check killed from outside, one over its time limit or
// failing), B's drawing goes up only with A's kept beside it; when A's is the later, it
// waits in the cloud and B's stays here. Only the check's refusal means nothing to keep.
TEST_F(IconKeptCopies, TheOtherSidesDrawingWithoutAVerdictIsKept)
{
    const auto a = machine();
    const auto b = machine();
    const QList<IconRenderOutcome> outcomes{IconRenderOutcome::unavailable, IconRenderOutcome::crashed,
                                            IconRenderOutcome::overran};
    for (int i = 0; i < outcomes.size(); ++i) {
        SCOPED_TRACE(i);
        const QString icon = QString("i%1.svg").arg(i);
        const QByteArray theirs = svgOf(QByteArray("#a0000" + QByteArray::number(i)).constData());
        const QByteArray mine = svgOf(QByteArray("#b0000" + QByteArray::number(i)).constData());
        draw(*a, svgOf("red"), 600, icon);
        sync(*a, {icon});
        sync(*b, {icon});
        draw(*a, theirs, 120, icon);
        sync(*a, {icon});
        renderer.endings.insert(theirs, outcomes[i]);
        draw(*b, mine, 60, icon);
        sync(*b, {icon});
        EXPECT_EQ(inCloud(QString("i%1").arg(i)), mine);
        EXPECT_EQ(b->drawing(QString("i%1 2.svg").arg(i)), theirs) << b->files().join(',').toStdString();
        sync(*a, {icon});
        EXPECT_EQ(a->drawing(icon), mine);
    }
    EXPECT_EQ(b->kept.size(), 3);

    // The other side's drawing is the later one: it is not written here unchecked, and
    // this computer's drawing does not go up over it either.
    draw(*a, svgOf("red"), 600);
    sync(*a);
    sync(*b);
    renderer.endings.insert(svgOf("olive"), IconRenderOutcome::unavailable);
    draw(*b, svgOf("navy"), 120);
    draw(*a, svgOf("olive"), 60);
    sync(*a);
    for (int round = 0; round < 2; ++round)
        sync(*b);
    EXPECT_EQ(inCloud(), svgOf("olive"));
    EXPECT_EQ(b->drawing("scan.svg"), svgOf("navy"));
    EXPECT_FALSE(QFileInfo::exists(b->path("scan 2.svg")));

    // A refusal is a verdict: that drawing is no icon, and is not kept.
    putIcon("bad", svgOf("gray"), 30);
    renderer.endings.insert(svgOf("gray"), IconRenderOutcome::refused);
    draw(*b, svgOf("teal"), 10, "bad.svg");
    sync(*b, {"bad.svg"});
    EXPECT_EQ(inCloud("bad"), svgOf("teal"));
    EXPECT_FALSE(QFileInfo::exists(b->path("bad 2.svg")));
}

} // namespace
