// Text colours on their backgrounds: the tray menu's minimum-ratio colours and
// the device canvas's texts, legible and unchanged where they already were.

#include "ui/shared/Contrast.h"
#include "ui/shared/Theme.h"

#include <gtest/gtest.h>

namespace velmor::test {
namespace {

using namespace contrast;

TEST(ContrastTest, RatiosAndCompositesFollowTheLuminanceFormula)
{
    EXPECT_NEAR(ratio(Qt::white, Qt::black), 21.0, 1e-6);
    EXPECT_NEAR(ratio(Qt::black, Qt::white), 21.0, 1e-6) << "order does not matter";
    EXPECT_NEAR(ratio(Theme::surface(), Theme::surface()), 1.0, 1e-9);
    // The usual reference greys, either side of the small-text ratio.
    EXPECT_NEAR(ratio(QColor(0x76, 0x76, 0x76), Qt::white), 4.54, 0.02);
    EXPECT_NEAR(ratio(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.01);
    // White at 0.3 over black is a dark grey, not white.
    EXPECT_LT(ratio(Theme::withOpacity(Qt::white, 0.3), Qt::black), 3.0);

    EXPECT_EQ(composite(Theme::accentPurple(), Theme::surface()).rgb(), Theme::accentPurple().rgb());
    EXPECT_EQ(composite(QColor(255, 0, 0, 0), Theme::surface()).rgb(), Theme::surface().rgb());
    const QColor half = composite(QColor(255, 255, 255, 128), Qt::black);
    EXPECT_NEAR(half.redF(), 0.5, 0.01);
    EXPECT_EQ(half.alpha(), 255);
}

TEST(ContrastTest, MinimumRatioColoursMoveTowardsTheTextUntilTheyRead)
{
    EXPECT_GE(ratio(legible(Qt::white, Qt::black, 0.1, 4.5), Qt::black), 4.5);
    // A text too faint to ever reach the ratio ends as itself.
    EXPECT_EQ(legible(QColor(0x20, 0x20, 0x20), Qt::black, 0.1, 4.5), QColor(0x20, 0x20, 0x20));
}

TEST(ContrastTest, CanvasTextsAreLegibleOnEveryFillAndKeepTheirColourWhereTheyWere)
{
    const QColor mapped = composite(Theme::withOpacity(Theme::accentGreen(), 0.6), Theme::surface());
    const QColor selected = Theme::accentPurple();
    const QColor unmapped = composite(Theme::withOpacity(Theme::accentCyan(), 0.25), Theme::surface());
    ASSERT_LT(ratio(Theme::accentCyan(), mapped), legibleRatio) << "the fault this guards against";
    ASSERT_LT(ratio(Theme::accentCyan(), selected), legibleRatio);

    for (const QColor& background : {mapped, selected, unmapped})
        for (const QColor& text : {Theme::accentCyan(), QColor(Qt::white)})
            EXPECT_GE(ratio(legibleText(text, background), background), legibleRatio)
                << text.name().toStdString() << " on " << background.name().toStdString();

    EXPECT_EQ(legibleText(Qt::white, mapped), QColor(Qt::white)) << "white on green is legible as it is";
    EXPECT_EQ(legibleText(Qt::white, unmapped), QColor(Qt::white));
    // Moved as little as it takes, towards the side with more room: still a cyan on green.
    const QColor onGreen = legibleText(Theme::accentCyan(), mapped);
    EXPECT_GT(onGreen.lightnessF(), Theme::accentCyan().lightnessF());
    EXPECT_NEAR(onGreen.hueF(), Theme::accentCyan().hueF(), 0.02);
    EXPECT_LT(ratio(onGreen, mapped), legibleRatio + 0.5) << "not pushed all the way to white";
    // A mid-grey background where neither side reaches the ratio for a mid colour ends at black or white.
    const QColor grey(0x76, 0x76, 0x76);
    const QColor onGrey = legibleText(QColor(0x80, 0x80, 0x80), grey);
    EXPECT_GE(ratio(onGrey, grey), legibleRatio);
}

} // namespace
} // namespace velmor::test
