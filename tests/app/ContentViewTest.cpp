// The mapping window's size on screens smaller and larger than its content.

#include "app/ContentView.h"

#include <gtest/gtest.h>

namespace velmor::test {
namespace {

TEST(ContentViewTest, TheWindowAndItsFrameStayWithinTheAvailableArea)
{
    const QSize menuBar(0, 25);
    const QSize small(1366, 740);
    // Not shown yet: no frame known, the allowance stands in for it.
    EXPECT_EQ(ContentView::mappingWindowSize(menuBar, QSize(), small), small - ContentView::frameAllowance);
    // A frame the window manager reported wins over the allowance.
    EXPECT_EQ(ContentView::mappingWindowSize(menuBar, QSize(2, 30), small), QSize(1364, 710));
    // Room to spare: the content size plus what the window adds around it.
    EXPECT_EQ(ContentView::mappingWindowSize(menuBar, QSize(2, 30), QSize(2560, 1400)), QSize(1920, 1105));
    // No screen: nothing to fit into.
    EXPECT_EQ(ContentView::mappingWindowSize(menuBar, QSize(), QSize()), QSize(1920, 1105));
}

} // namespace
} // namespace velmor::test
