#pragma once

#include "ui/shared/RowsThatStay.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QScopedValueRollback>
#include <QSet>

#include <algorithm>

#include <utility>

namespace velmor {

// A list model whose rows are values with a unique key (`row.key()`). setRows()
// turns the current rows into the next ones with few row signals: the longest run
// of rows that keep their order stays, the others leave and come back where they
// go (runs of removals and of insertions), and dataChanged marks rows whose value
// changed, so views keep their scroll position and selection.
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
        // Rows that keep their place at either end (most of a long list after an
        // edit) are compared in place; only what lies between is matched by key.
        const qsizetype common = std::min(rows_.size(), next.size());
        qsizetype head = 0;
        while (head < common && rows_[head].key() == next[head].key())
            replaceAt(head, std::move(next[head])), ++head;
        qsizetype tail = 0;
        while (tail < common - head && rows_[rows_.size() - 1 - tail].key() == next[next.size() - 1 - tail].key()) {
            replaceAt(rows_.size() - 1 - tail, std::move(next[next.size() - 1 - tail]));
            ++tail;
        }
        if (head + tail == rows_.size() && head + tail == next.size())
            return;

        using Key = decltype(next.constFirst().key());
        QHash<Key, qsizetype> nextPlaces;
        nextPlaces.reserve(next.size() - head - tail);
        for (qsizetype k = head; k < next.size() - tail; ++k)
            nextPlaces.insert(next[k].key(), k);
        if (nextPlaces.size() != next.size() - head - tail) {
            // Keys that repeat cannot be followed row by row.
            beginResetModel();
            QList<Row> rows = rows_.first(head);
            rows.append(next.sliced(head, next.size() - head - tail));
            rows.append(rows_.last(tail));
            rows_ = std::move(rows);
            endResetModel();
            return;
        }
        // The longest run of rows already in their new order stays put (a view anchored
        // on one keeps its place); every other row leaves and comes back where it goes.
        QList<qsizetype> places;
        places.reserve(rows_.size() - head - tail);
        for (qsizetype k = head; k < rows_.size() - tail; ++k)
            places.append(nextPlaces.value(rows_[k].key(), -1));
        QSet<Key> staying;
        for (const qsizetype k : rowsThatStay(places))
            staying.insert(rows_[head + k].key());
        removeMissing(staying, head, rows_.size() - tail);

        // What stays is in its new order: the rest goes in between, by runs.
        qsizetype i = head;
        const qsizetype end = next.size() - tail;
        while (i < end) {
            if (staying.contains(next[i].key())) {
                replaceAt(i, std::move(next[i]));
                ++i;
                continue;
            }
            qsizetype last = i;
            while (last < end && !staying.contains(next[last].key()))
                ++last;
            beginInsertRows({}, static_cast<int>(i), static_cast<int>(last - 1));
            rows_.insert(i, last - i, Row{});
            for (qsizetype k = i; k < last; ++k)
                rows_[k] = std::move(next[k]);
            endInsertRows();
            i = last;
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
    // Row `at` becomes `next`; dataChanged when its value differs.
    void replaceAt(qsizetype at, Row next)
    {
        if (rows_[at] == next)
            return;
        rows_[at] = std::move(next);
        const QModelIndex changed = index(static_cast<int>(at));
        emit dataChanged(changed, changed);
    }

    // Removes the rows from `from` up to `to` whose key `keep` lacks, by runs.
    template <typename Keys>
    void removeMissing(const Keys& keep, qsizetype from, qsizetype to)
    {
        qsizetype i = to - 1;
        while (i >= from) {
            if (keep.contains(rows_[i].key())) {
                --i;
                continue;
            }
            const qsizetype last = i;
            while (i >= from && !keep.contains(rows_[i].key()))
                --i;
            beginRemoveRows({}, static_cast<int>(i + 1), static_cast<int>(last));
            rows_.remove(i + 1, last - i);
            endRemoveRows();
        }
    }

    QList<Row> rows_;
};

// A keyed list given whole but made visible as a view scrolls to it: the rows a
// view has fetched (at least rowsPerFetch) are shown at once and stay shown
// across setAllRows(), however many, so that it keeps its place; the rest come
// with fetchMore().
template <typename Row>
class FetchedListModel : public KeyedListModel<Row> {
public:
    using KeyedListModel<Row>::KeyedListModel;

    static constexpr qsizetype rowsPerFetch = 200;

    // Shows `all`; gives back the rows held before, for the caller to let go of.
    QList<Row> setAllRows(QList<Row> all)
    {
        QList<Row> before = std::exchange(all_, std::move(all));
        const qsizetype shown = std::min(all_.size(), std::max<qsizetype>(this->rowCount(), rowsPerFetch));
        // Views and testers that look in while the rows change fetch nothing meanwhile.
        const QScopedValueRollback updating(updating_, true);
        this->setRows(shown == all_.size() ? all_ : all_.first(shown));
        return before;
    }
    // Every row, fetched or not.
    const QList<Row>& allRows() const { return all_; }

    // Fetches down to the first row that `matches`; its row, or -1.
    template <typename Matches>
    int fetchTo(const Matches& matches)
    {
        const auto found = std::find_if(all_.cbegin(), all_.cend(), matches);
        if (found == all_.cend())
            return -1;
        const qsizetype at = found - all_.cbegin();
        if (at >= this->rowCount()) {
            const QScopedValueRollback updating(updating_, true);
            this->appendRows(all_.sliced(this->rowCount(), at + 1 - this->rowCount()));
        }
        return static_cast<int>(at);
    }

    bool canFetchMore(const QModelIndex& parent) const override
    {
        return !parent.isValid() && !updating_ && this->rowCount() < all_.size();
    }
    void fetchMore(const QModelIndex& parent) override
    {
        if (!canFetchMore(parent))
            return;
        const QScopedValueRollback updating(updating_, true);
        this->appendRows(all_.sliced(this->rowCount(), std::min(rowsPerFetch, all_.size() - this->rowCount())));
    }

private:
    QList<Row> all_;
    bool updating_ = false;
};

} // namespace velmor
