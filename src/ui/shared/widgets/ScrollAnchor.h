#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QPoint>

#include <optional>

class QAbstractItemView;

namespace velmor {

// Keeps a list's place through a change of its rows: the row under the pointer
// (the top row when the pointer is elsewhere) stays where it is on screen while
// rows above it come, go or move. When that row itself goes or moves away, the
// row after it takes its place (the last rows: the row before them stays). A view
// wraps each change of its model's rows in hold() and restore(). The pointer is
// followed by the viewport's own mouse events.
class ScrollAnchor : public QObject {
public:
    // Follows the model the view has now.
    explicit ScrollAnchor(QAbstractItemView& view);

    void hold();
    void restore();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The row under the pointer, else the topmost row shown.
    QModelIndex anchorRow() const;
    // The anchor row leaves rows `first`…`last`: the row after them stands in.
    void leaving(int first, int last);

    QAbstractItemView& view_;
    QPersistentModelIndex anchor_;
    int top_ = 0;           // the anchor row's top in the viewport, when held
    bool rowsMoved_ = false; // rows came, went or moved while held
    std::optional<QPoint> pointer_; // in the viewport, while it is there
};

} // namespace velmor
