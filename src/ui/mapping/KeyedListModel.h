#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QSet>

#include <utility>

namespace velmor {

// A list model whose rows are values with a unique key (`row.key()`). setRows()
// turns the current rows into the next ones with the fewest row signals it
// easily can: runs of removals, runs of insertions, moves, and dataChanged for
// rows whose value changed, so views keep their scroll position and selection.
// Rows must compare with ==. Subclasses give data() and anything further.
template <typename Row>
class KeyedListModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }

    const QList<Row>& rows() const { return rows_; }
    const Row& row(int index) const { return rows_.at(index); }
    const Row* rowAt(const QModelIndex& index) const
    {
        return index.isValid() && index.row() < rows_.size() ? &rows_.at(index.row()) : nullptr;
    }

    void setRows(QList<Row> next)
    {
        using Key = decltype(next.constFirst().key());
        QSet<Key> nextKeys;
        nextKeys.reserve(next.size());
        for (const Row& row : next)
            nextKeys.insert(row.key());
        if (nextKeys.size() != next.size()) {
            // Keys that repeat cannot be followed row by row.
            beginResetModel();
            rows_ = std::move(next);
            endResetModel();
            return;
        }
        removeMissing(nextKeys);

        QSet<Key> currentKeys;
        currentKeys.reserve(rows_.size());
        for (const Row& row : rows_)
            currentKeys.insert(row.key());
        qsizetype i = 0;
        while (i < next.size()) {
            const Key key = next[i].key();
            if (i < rows_.size() && rows_[i].key() == key) {
                if (!(rows_[i] == next[i])) {
                    rows_[i] = next[i];
                    const QModelIndex changed = index(static_cast<int>(i));
                    emit dataChanged(changed, changed);
                }
                ++i;
                continue;
            }
            if (!currentKeys.contains(key)) {
                qsizetype end = i;
                while (end < next.size() && !currentKeys.contains(next[end].key()))
                    ++end;
                beginInsertRows({}, static_cast<int>(i), static_cast<int>(end - 1));
                rows_.insert(i, end - i, Row{});
                for (qsizetype k = i; k < end; ++k) {
                    rows_[k] = next[k];
                    currentKeys.insert(next[k].key());
                }
                endInsertRows();
                i = end;
                continue;
            }
            qsizetype from = i + 1;
            while (rows_[from].key() != key)
                ++from;
            beginMoveRows({}, static_cast<int>(from), static_cast<int>(from), {}, static_cast<int>(i));
            rows_.move(from, i);
            endMoveRows();
        }
    }

    // Adds `more` after the last row (a view fetching further rows).
    void appendRows(QList<Row> more)
    {
        if (more.isEmpty())
            return;
        beginInsertRows({}, static_cast<int>(rows_.size()), static_cast<int>(rows_.size() + more.size() - 1));
        rows_ += std::move(more);
        endInsertRows();
    }

private:
    template <typename Keys>
    void removeMissing(const Keys& keep)
    {
        qsizetype i = rows_.size() - 1;
        while (i >= 0) {
            if (keep.contains(rows_[i].key())) {
                --i;
                continue;
            }
            const qsizetype last = i;
            while (i >= 0 && !keep.contains(rows_[i].key()))
                --i;
            beginRemoveRows({}, static_cast<int>(i + 1), static_cast<int>(last));
            rows_.remove(i + 1, last - i);
            endRemoveRows();
        }
    }

    QList<Row> rows_;
};

} // namespace velmor
