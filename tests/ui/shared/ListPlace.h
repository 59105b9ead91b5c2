#pragma once

#include "model/RadiologyTool.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QScrollBar>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>

namespace velmor::test {

// The rows a list shows, top to bottom, by their display text.
inline QStringList shownRows(const QAbstractItemView& view)
{
    QStringList rows;
    const QWidget* viewport = view.viewport();
    for (int y = 0; y < viewport->height(); y += 4) {
        const QString text = view.indexAt(QPoint(viewport->width() / 2, y)).data().toString();
        if (!text.isEmpty() && (rows.isEmpty() || rows.last() != text))
            rows.append(text);
    }
    return rows;
}

// Scrolls the list to its very end, as a user drags it there: rows are fetched on the way.
inline void scrollToEnd(QAbstractItemView& view)
{
    for (int round = 0; round < 1'000; ++round) {
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
        QApplication::processEvents();
        if (!view.model()->canFetchMore({}) && view.verticalScrollBar()->value() == view.verticalScrollBar()->maximum())
            return;
    }
}

// Scrolls the list until row `row` (fetched on the way) is in the middle of its viewport.
inline void scrollToRow(QAbstractItemView& view, int row)
{
    QAbstractItemModel& model = *view.model();
    while (model.rowCount() <= row && model.canFetchMore({}))
        model.fetchMore({});
    view.scrollTo(model.index(row, 0), QAbstractItemView::PositionAtCenter);
    QApplication::processEvents();
}

// The row a resting pointer is on: its text and where its top lies in the viewport.
struct PointedRow {
    QString text;
    int top = 0;
    bool operator==(const PointedRow&) const = default;
};

inline PointedRow pointedRow(const QAbstractItemView& view, const QPoint& spot)
{
    const QModelIndex index = view.indexAt(spot);
    return {index.data().toString(), view.visualRect(index).top()};
}

inline std::ostream& operator<<(std::ostream& out, const PointedRow& row)
{
    return out << '"' << row.text.toStdString() << "\" at y " << row.top;
}

// Moves the pointer onto `spot` in the list's viewport, where it rests.
inline void restPointer(QAbstractItemView& view, const QPoint& spot)
{
    QTest::mouseMove(view.viewport(), spot);
    QApplication::processEvents();
}

// Another computer's changes of a PACS profile's tools around the tool under the
// pointer (`pointed`, in stored order; at least 1,000 tools above it), as they
// arrive: what a list keeps its place through.
struct Arrival {
    const char* what;
    std::function<void(QList<RadiologyTool>& tools, qsizetype pointed)> change;
};

inline RadiologyTool arrivingTool(const QString& name)
{
    RadiologyTool tool;
    tool.id = QUuid::createUuid();
    tool.name = name;
    tool.systemIcon = QStringLiteral("star");
    tool.category = ToolCategory::mammo;
    return tool;
}

inline QList<Arrival> arrivalsAroundThePointer()
{
    const auto addAbove = [](int count) {
        return [count](QList<RadiologyTool>& tools, qsizetype pointed) {
            for (int i = 0; i < count; ++i)
                tools.insert(pointed - 900, arrivingTool(QStringLiteral("Arrived %1 of %2").arg(i).arg(count)));
        };
    };
    const auto movePast = [](QList<RadiologyTool>& tools, qsizetype pointed) {
        // Three from far above to just below the pointer's row, two from just below it to far above.
        const QUuid pointedId = tools[pointed].id;
        const QList<RadiologyTool> down{tools[pointed - 300], tools[pointed - 200], tools[pointed - 100]};
        const QList<RadiologyTool> up = tools.mid(pointed + 1, 2);
        tools.remove(pointed + 1, up.size());
        for (const qsizetype from : {pointed - 100, pointed - 200, pointed - 300})
            tools.removeAt(from);
        const auto at = [&] {
            return std::find_if(tools.cbegin(), tools.cend(), [&](const RadiologyTool& t) { return t.id == pointedId; })
                - tools.cbegin();
        };
        for (const RadiologyTool& tool : up)
            tools.insert(at() - 700, tool);
        for (const RadiologyTool& tool : down)
            tools.insert(at() + 1, tool);
    };
    return {
        {"a tool far up moves from Viewer to Reporting",
         [](QList<RadiologyTool>& tools, qsizetype) {
             for (RadiologyTool& tool : tools)
                 if (tool.category == ToolCategory::viewer && !tool.isFavorite) {
                     tool.category = ToolCategory::reporting;
                     return;
                 }
             ADD_FAILURE() << "no Viewer tool";
         }},
        {"tools move past the pointer's row", movePast},
        {"5 rows come far above", addAbove(5)},
        {"30 rows come far above", addAbove(30)},
        {"12 rows go far above", [](QList<RadiologyTool>& tools, qsizetype pointed) { tools.remove(pointed - 800, 12); }},
        {"a merge's outcome: rows come, go, move and change above and below",
         [=](QList<RadiologyTool>& tools, qsizetype pointed) {
             tools[pointed - 50].name += QStringLiteral(" (theirs)");
             tools[pointed - 60].category = ToolCategory::reporting;
             tools.remove(pointed - 400, 3);
             addAbove(7)(tools, pointed - 3);
             movePast(tools, pointed + 4);
             tools.append(arrivingTool(QStringLiteral("Arrived last")));
         }},
        {"a tool just above is starred", [](QList<RadiologyTool>& tools, qsizetype pointed) { tools[pointed - 2].isFavorite = true; }},
    };
}

// A tool list in its window: another computer's change of the stored tools
// (taken and rendered), the window's selected tool, the stored tools, and what
// lets a click take effect.
struct ArrivingList {
    QAbstractItemView& view;
    std::function<void(const std::function<void(QList<RadiologyTool>&)>&)> arrive;
    std::function<std::optional<QUuid>()> selection;
    std::function<QList<RadiologyTool>()> stored;
    std::function<void()> settle;
};

// The pointer rests on the row in the middle of the list's viewport, and that row is
// clicked (selected): through every arrival the same tool stays under the pointer at
// the same height, and the selection stays.
inline void expectThePointedRowStays(const ArrivingList& list)
{
    const QPoint spot(60, list.view.viewport()->height() / 2);
    QTest::mouseClick(list.view.viewport(), Qt::LeftButton, {}, spot);
    list.settle();
    restPointer(list.view, spot);
    const std::optional<QUuid> selected = list.selection();
    ASSERT_TRUE(selected);
    const QList<RadiologyTool> tools = list.stored();
    EXPECT_TRUE(std::any_of(tools.cbegin(), tools.cend(), [&](const RadiologyTool& tool) {
        return tool.id == *selected && tool.name == pointedRow(list.view, spot).text;
    })) << "the click selects the row under the pointer";
    for (const Arrival& arrival : arrivalsAroundThePointer()) {
        SCOPED_TRACE(arrival.what);
        const PointedRow before = pointedRow(list.view, spot);
        const QList<RadiologyTool> stored = list.stored();
        const auto pointed = std::find_if(stored.cbegin(), stored.cend(),
                                          [&](const RadiologyTool& tool) { return tool.name == before.text; });
        ASSERT_NE(pointed, stored.cend()) << before;
        list.arrive([&](QList<RadiologyTool>& tools) { arrival.change(tools, pointed - stored.cbegin()); });
        EXPECT_EQ(pointedRow(list.view, spot), before) << shownRows(list.view).join(", ").toStdString();
        EXPECT_EQ(list.selection(), selected);
    }
}

} // namespace velmor::test
