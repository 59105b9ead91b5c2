#pragma once

#include <QList>

#include <algorithm>

namespace velmor {

// When a list's rows take a new order, the rows that can keep their place: the
// longest run of them already in the new order (a longest increasing subsequence
// of their new places). A view anchored on one of them does not move; every other
// row leaves and comes back where it goes. `places` holds each row's new place, or
// a negative number for a row that goes; the answer is the indexes into `places`
// of the rows that stay, ascending.
QList<qsizetype> rowsThatStay(const QList<qsizetype>& places);

// How many rows of a new list a view must keep fetched so that every row it has
// shown stays: rows that come above push the fetched rows' end down, and a cut by
// count would drop the very rows on screen. Given the rows fetched and each one's
// key, visit() each key of the new list in order; end() is the number of rows up to
// the last of the last keysLooked fetched still there plus the rows fetched after it,
// or -1 when none of them is there.
template <typename Key>
class FetchedEnd {
public:
    static constexpr qsizetype keysLooked = 8;

    template <typename Rows, typename KeyOf>
    FetchedEnd(const Rows& fetched, KeyOf keyOf)
    {
        for (qsizetype k = std::max<qsizetype>(0, fetched.size() - keysLooked); k < fetched.size(); ++k)
            lastKeys_.append(keyOf(fetched[k]));
    }

    void visit(const Key& key)
    {
        for (qsizetype k = 0; k < lastKeys_.size(); ++k)
            if (key == lastKeys_[k])
                end_ = std::max(end_, at_ + 1 + lastKeys_.size() - 1 - k);
        ++at_;
    }
    qsizetype end() const { return end_; }

private:
    QList<Key> lastKeys_;
    qsizetype at_ = 0;
    qsizetype end_ = -1;
};

} // namespace velmor
