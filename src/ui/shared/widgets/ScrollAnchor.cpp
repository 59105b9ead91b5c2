#include "ui/shared/widgets/ScrollAnchor.h"

#include <QAbstractItemView>
#include <QCursor>
#include <QScrollBar>

#include <utility>

namespace velmor {

ScrollAnchor::ScrollAnchor(QAbstractItemView& view) : QObject(&view), view_(view)
{
    QAbstractItemModel* model = view.model();
    if (!model)
        return;
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { leaving(first, last); });
    connect(model, &QAbstractItemModel::rowsAboutToBeMoved, this,
            [this](const QModelIndex&, int first, int last) { leaving(first, last); });
    const auto moved = [this] { rowsMoved_ = true; };
    connect(model, &QAbstractItemModel::rowsInserted, this, moved);
    connect(model, &QAbstractItemModel::rowsRemoved, this, moved);
    connect(model, &QAbstractItemModel::rowsMoved, this, moved);
    connect(model, &QAbstractItemModel::modelReset, this, [this] { anchor_ = QPersistentModelIndex(); });
}

QModelIndex ScrollAnchor::anchorRow() const
{
    const QWidget* viewport = view_.viewport();
    const QPoint pointer = viewport->mapFromGlobal(QCursor::pos());
    if (viewport->underMouse() && viewport->rect().contains(pointer))
        if (const QModelIndex under = view_.indexAt(pointer); under.isValid())
            return under;
    // The topmost row: the first that reaches below the viewport's top edge.
    for (int y = 0; y < viewport->height(); y += 4)
        if (const QModelIndex top = view_.indexAt(QPoint(viewport->width() / 2, y)); top.isValid())
            return top;
    return {};
}

void ScrollAnchor::hold()
{
    rowsMoved_ = false;
    anchor_ = anchorRow();
    if (anchor_.isValid())
        top_ = view_.visualRect(anchor_).top();
}

void ScrollAnchor::leaving(int first, int last)
{
    if (!anchor_.isValid() || anchor_.row() < first || anchor_.row() > last)
        return;
    const QAbstractItemModel* model = view_.model();
    anchor_ = last + 1 < model->rowCount() ? model->index(last + 1, 0) : QModelIndex();
}

void ScrollAnchor::restore()
{
    const QPersistentModelIndex anchor = std::exchange(anchor_, QPersistentModelIndex());
    if (!rowsMoved_ || !anchor.isValid())
        return;
    // The rows' places and the scroll range as they are now, not at the next paint.
    view_.doItemsLayout();
    QScrollBar& bar = *view_.verticalScrollBar();
    const int target = bar.value() + view_.visualRect(anchor).top() - top_;
    // Rows that came above push the last rows shown past those fetched: fetch them.
    QAbstractItemModel& model = *view_.model();
    while (target > bar.maximum() && model.canFetchMore({})) {
        model.fetchMore({});
        view_.doItemsLayout();
    }
    bar.setValue(target);
}

} // namespace velmor
