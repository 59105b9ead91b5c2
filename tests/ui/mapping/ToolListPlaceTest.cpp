// The mapping window's tool list of 5,000 tools keeps its place and its selection
// through edits and other computers' changes, scrolled to the end and to the middle.

#include "MappingViewFixture.h"

#include "../shared/ListPlace.h"
#include "ui/mapping/MappingToolListModel.h"
#include "ui/mapping/widgets/CenterColumn.h"
#include "ui/mapping/widgets/ContextPanelMappings.h"
#include "ui/mapping/widgets/DeviceCanvas.h"
#include "ui/mapping/widgets/ToolListItem.h"

#include <QListView>
#include <QScrollBar>

namespace velmor::test {
namespace {

class ToolListPlaceTest : public MappingViewFixture {
protected:
    ContextPanelMappings& panel() { return *find<ContextPanelMappings>(QStringLiteral("mappingsPanel")); }
    QListView& list() { return *panel().toolList(); }

    void clickCanvasButton(const QString& buttonId)
    {
        DeviceCanvas& canvas = *view->centerColumn()->canvas();
        QTest::mouseClick(&canvas, Qt::LeftButton, {}, canvas.buttonRect(buttonId).center().toPoint());
        settle();
    }
    // Where the row of that tool lies in the list's viewport, for a click away from its star.
    QPoint spotOf(const QString& name)
    {
        const QList<ToolListRow>& rows = panel().toolModel().rows();
        for (int row = 0; row < rows.size(); ++row)
            if (!rows[row].isHeader && rows[row].tool.name == name) {
                const QRect rect = list().visualRect(panel().toolModel().index(row));
                return {rect.center().x(), rect.top() + 20};
            }
        ADD_FAILURE() << "no row of " << name.toStdString();
        return {};
    }
    QString toolAt(const QPoint& spot) { return list().indexAt(spot).data().toString(); }
    ArrivingList arriving()
    {
        return {list(),
                [this](const std::function<void(QList<RadiologyTool>&)>& change) {
                    changeActiveToolsElsewhere(change);
                    settle();
                },
                [this] { return state().selectedToolId; },
                [this] { return model->activePacsProfile().tools; },
                [this] { settle(); }};
    }
    void openAt1366By768WithBulkTools()
    {
        view->resize(1366, 768);
        addBulkTools(5'000);
        settle();
    }
    QString toolName(const QUuid& id)
    {
        for (const RadiologyTool& tool : model->activePacsProfile().tools)
            if (tool.id == id)
                return tool.name;
        return {};
    }
};

TEST_F(ToolListPlaceTest, AnEditAndAnotherMachinesChangeKeepTheRowsShownAndTheSelection)
{
    addBulkTools(5'000);
    settle();
    scrollToEnd(list());
    ASSERT_FALSE(panel().toolModel().canFetchMore({}));
    const QStringList shown = shownRows(list());
    ASSERT_TRUE(shown.contains(QStringLiteral("Bulk tool 4989"))) << shown.join(", ").toStdString();

    // Map K01 to "Bulk tool 4989" by a click on its row: the rows stay, the tool is selected.
    clickCanvasButton(QStringLiteral("K01"));
    const QPoint spot = spotOf(QStringLiteral("Bulk tool 4989"));
    QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, spot);
    settle();
    EXPECT_EQ(shownRows(list()), shown);
    ASSERT_TRUE(state().selectedToolId);
    const QUuid picked = *state().selectedToolId;
    EXPECT_EQ(toolName(picked), "Bulk tool 4989");
    ASSERT_EQ(toolsOn(QStringLiteral("K01")).size(), 1);
    EXPECT_EQ(toolsOn(QStringLiteral("K01")).first(), picked);

    // The same spot again is the same tool, mapped to the next button.
    clickCanvasButton(QStringLiteral("K02"));
    EXPECT_EQ(toolAt(spot), "Bulk tool 4989");
    QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, spot);
    settle();
    EXPECT_EQ(shownRows(list()), shown);
    ASSERT_EQ(toolsOn(QStringLiteral("K02")).size(), 1);
    EXPECT_EQ(toolsOn(QStringLiteral("K02")).first(), picked);

    // Another machine renames a tool far up and adds a favourite above every row:
    // what is shown stays where it is, and so does the selection.
    changeActiveToolsElsewhere([](QList<RadiologyTool>& tools) {
        for (RadiologyTool& tool : tools)
            if (tool.name == QStringLiteral("Bulk tool 0010"))
                tool.name = QStringLiteral("Renamed far up");
        RadiologyTool favourite;
        favourite.id = QUuid::createUuid();
        favourite.name = QStringLiteral("New favourite");
        favourite.isFavorite = true;
        tools.prepend(favourite);
    });
    settle();
    EXPECT_EQ(shownRows(list()), shown);
    EXPECT_EQ(state().selectedToolId, picked);
    EXPECT_EQ(toolAt(spot), "Bulk tool 4989");
}

// In 5,000 tools at 1366 x 768, scrolled to the end and to the middle, the tool
// under the pointer stays under it, at the same height, through every arrival.
TEST_F(ToolListPlaceTest, TheRowUnderThePointerStaysThroughEveryArrival)
{
    openAt1366By768WithBulkTools();
    {
        SCOPED_TRACE("at the end");
        scrollToEnd(list());
        expectThePointedRowStays(arriving());
    }
    SCOPED_TRACE("in the middle");
    scrollToRow(list(), 2'600);
    expectThePointedRowStays(arriving());
}

// The user stars the last row of 5,000 tools: it goes to the favourites at the top,
// and the list stays at its end, the other rows shown as they were.
TEST_F(ToolListPlaceTest, StarringTheLastRowKeepsTheListAtItsEnd)
{
    openAt1366By768WithBulkTools();
    scrollToEnd(list());
    const QModelIndex last = panel().toolModel().index(panel().toolModel().rowCount() - 1);
    const QString starred = last.data().toString();
    QStringList shown = shownRows(list());
    const QPoint star = ToolListItem::starRect(list().visualRect(last)).center();
    restPointer(list(), star);
    QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, star);
    settle();
    ASSERT_EQ(panel().toolModel().row(1).tool.name, starred) << "the first favourite";
    EXPECT_EQ(list().verticalScrollBar()->value(), list().verticalScrollBar()->maximum());
    shown.removeAll(starred);
    const QStringList after = shownRows(list());
    EXPECT_EQ(after.mid(after.size() - shown.size()), shown) << after.join(", ").toStdString();
}

} // namespace
} // namespace velmor::test
