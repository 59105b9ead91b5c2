#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QScrollBar>
#include <QStringList>

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

} // namespace velmor::test
