// The mapping window on small and large screens: the columns' widths, and a
// 1366 × 768 screen that shows every control.

#include "MappingViewFixture.h"

#include "platform/Text.h"
#include "store/ProfileStore.h"
#include "ui/mapping/widgets/MappingColumns.h"
#include "ui/mapping/widgets/MappingRow.h"
#include "ui/mapping/widgets/RightColumn.h"
#include "ui/mapping/widgets/TopToolbar.h"

#include <QListView>

namespace velmor::test {
namespace {

using Widths = MappingColumnWidths;

TEST(MappingColumnWidthsTest, SidesReachTheirIdealThenTheirMaximumBeforeTheCentreGrows)
{
    const int centreMinimum = 500;
    const int minimums = Widths::railWidth + Widths::panelMinimum + centreMinimum + Widths::rightMinimum;
    Widths below = Widths::forWidth(minimums - 100, centreMinimum);
    EXPECT_EQ(below.panel, Widths::panelMinimum) << "too narrow: everything at its minimum, the window scrolls";
    EXPECT_EQ(below.centre, centreMinimum);
    EXPECT_EQ(below.right, Widths::rightMinimum);

    // 100 more than the minimums: the sides share it by what each lacks of its ideal (40 : 60).
    Widths halfway = Widths::forWidth(minimums + 50, centreMinimum);
    EXPECT_EQ(halfway.panel + halfway.right, Widths::panelMinimum + Widths::rightMinimum + 50);
    EXPECT_EQ(halfway.panel, Widths::panelMinimum + 20);
    EXPECT_EQ(halfway.centre, centreMinimum);

    const int ideals = Widths::railWidth + Widths::panelIdeal + centreMinimum + Widths::rightIdeal;
    Widths ideal = Widths::forWidth(ideals, centreMinimum);
    EXPECT_EQ(ideal.panel, Widths::panelIdeal);
    EXPECT_EQ(ideal.right, Widths::rightIdeal);
    EXPECT_EQ(ideal.centre, centreMinimum);

    const int maximums = Widths::railWidth + Widths::panelMaximum + centreMinimum + Widths::rightMaximum;
    Widths wide = Widths::forWidth(maximums + 300, centreMinimum);
    EXPECT_EQ(wide.panel, Widths::panelMaximum);
    EXPECT_EQ(wide.right, Widths::rightMaximum);
    EXPECT_EQ(wide.centre, centreMinimum + 300) << "only past both maximums does the centre grow";
    EXPECT_EQ(wide.rail + wide.panel + wide.centre + wide.right, maximums + 300) << "no pixel lost";
}

class MappingWindowFitTest : public MappingViewFixture {
protected:
    // The view's room in a window on a 1366 × 768 screen: less a panel, the
    // window's frame and its menu bar.
    static constexpr QSize smallScreenRoom{1366 - 16, 768 - 28 - 48 - 25};

    int widthOf(const QString& name) { return find(name)->width(); }
    QRect inView(const QWidget& widget, const QRect& rect) const
    {
        return QRect(widget.mapTo(view.get(), rect.topLeft()), rect.size());
    }
    TopToolbar& toolbar() { return *static_cast<TopToolbar*>(find(QStringLiteral("topToolbar"))); }
    void expectInside(const QString& name, const QWidget* within = nullptr)
    {
        const QWidget* widget = (within ? within : view.get())->findChild<QWidget*>(name);
        ASSERT_TRUE(widget);
        EXPECT_TRUE(widget->isVisible()) << name.toStdString();
        EXPECT_TRUE(view->rect().contains(inView(*widget, widget->rect()))) << name.toStdString() << " is cut";
    }
};

TEST_F(MappingWindowFitTest, ASmallScreenShowsTheWholeRightColumnAndEveryToolbarCommand)
{
    plugKeypad();
    for (int key = 1; key <= 3; ++key)
        map(QStringLiteral("K%1").arg(key, 2, 10, QChar('0')), tool(QStringLiteral("Tool %1").arg(key)).id);
    settle();
    const QSize minimum = view->minimumSizeHint();
    EXPECT_LE(minimum.width(), smallScreenRoom.width());
    EXPECT_LE(minimum.height(), smallScreenRoom.height());

    view->resize(smallScreenRoom);
    settle();
    for (const char* name : {"mappingCount", "mappingFilter", "mappingList", "toggleLog", "mode-system"})
        expectInside(QString::fromLatin1(name));
    for (const char* name : {"devicePicker", "editLayout", "syncNow", "savedState", "undo", "reset", "clear", "save"})
        expectInside(QString::fromLatin1(name), &toolbar());
    auto* list = find<QListView>(QStringLiteral("mappingList"));
    const QRect firstRow = list->visualRect(list->model()->index(0, 0));
    EXPECT_TRUE(view->rect().contains(inView(*list->viewport(), MappingRow::trashRect(firstRow))))
        << "a row's trash button is on screen";
    EXPECT_TRUE(toolbar().isWrapped()) << "the commands moved to a second line";
    EXPECT_GE(widthOf(QStringLiteral("contextPanelCard")), Widths::panelIdeal);
    EXPECT_GE(widthOf(QStringLiteral("rightColumn")), Widths::rightIdeal);

    view->resize(1920, 1080);
    settle();
    EXPECT_EQ(widthOf(QStringLiteral("contextPanelCard")), Widths::panelMaximum);
    EXPECT_EQ(widthOf(QStringLiteral("rightColumn")), Widths::rightMaximum);
    EXPECT_FALSE(toolbar().isWrapped()) << "one line where there is room";
}

// A name is cut only where the toolbar gives it less room than it takes, and
// then to that room.
TEST_F(MappingWindowFitTest, TheDeviceNameIsCutOnlyWhereItsRoomIsShort)
{
    plugKeypad();
    plugSpeechMike();
    auto* picker = toolbar().findChild<QWidget*>(QStringLiteral("devicePicker"));
    ASSERT_TRUE(picker);
    int cut = 0;
    for (const QSize size : {smallScreenRoom, view->minimumSizeHint(), QSize(1920, 1080)}) {
        view->resize(size);
        for (const Device& device : {Device::speechMikeTemplate(), Device::tartarusTemplate()}) {
            controller->selectDevice(device.id);
            settle();
            const QString shown = toolbar().shownDeviceName();
            const int missing = picker->sizeHint().width() - picker->width();
            if (missing <= 0) {
                EXPECT_EQ(shown, text::displayName(device.name)) << size.width();
                continue;
            }
            ++cut;
            EXPECT_TRUE(shown.contains(QStringLiteral("…"))) << shown.toStdString();
            EXPECT_LE(picker->fontMetrics().horizontalAdvance(shown),
                      picker->fontMetrics().horizontalAdvance(text::displayName(device.name)) - missing);
        }
        if (size == smallScreenRoom) {
            controller->selectDevice(Device::speechMikeTemplate().id);
            settle();
            EXPECT_EQ(toolbar().shownDeviceName(), text::displayName(Device::speechMikeTemplate().name))
                << "it fits on a small screen";
        }
    }
    EXPECT_GT(cut, 0) << "some width made the toolbar cut a name";
}

} // namespace
} // namespace velmor::test
