#include "ui/shared/widgets/ScrollAnchor.h"

#include <QAbstractItemView>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <utility>

namespace velmor {

ScrollAnchor::ScrollAnchor(QAbstractItemView& view) : QObject(&view), view_(view)
{
    // The pointer's place, followed while no button is down too.
    view.viewport()->setMouseTracking(true);
    view.viewport()->installEventFilter(this);
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

bool ScrollAnchor::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        pointer_ = static_cast<QMouseEvent*>(event)->position().toPoint();
        break;
    case QEvent::Enter:
        pointer_ = static_cast<QEnterEvent*>(event)->position().toPoint();
        break;
    case QEvent::Leave:
        pointer_.reset();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

QModelIndex ScrollAnchor::anchorRow() const
{
    const QWidget* viewport = view_.viewport();
    if (pointer_ && viewport->rect().contains(*pointer_))
        if (const QModelIndex under = view_.indexAt(*pointer_); under.isValid())
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
    if (last + 1 < model->rowCount()) {
        anchor_ = model->index(last + 1, 0);
        return;
    }
    // The last rows go: the row before them stays where it is.
    anchor_ = first > 0 ? model->index(first - 1, 0) : QModelIndex();
    if (anchor_.isValid())
        top_ = view_.visualRect(anchor_).top();
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
