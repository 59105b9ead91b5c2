#include "ui/shared/RowsThatStay.h"

#include <algorithm>

namespace velmor {

QList<qsizetype> rowsThatStay(const QList<qsizetype>& places)
{
    // ends[k]: the row ending the best run of length k + 1 found so far (the one with the lowest place);
    // before[i]: the row before row i in its run.
    QList<qsizetype> ends;
    QList<qsizetype> before(places.size(), -1);
    for (qsizetype i = 0; i < places.size(); ++i) {
        if (places[i] < 0)
            continue;
        const auto at = std::lower_bound(ends.begin(), ends.end(), places[i],
                                         [&](qsizetype row, qsizetype place) { return places[row] < place; });
        if (at != ends.begin())
            before[i] = *(at - 1);
        if (at == ends.end())
            ends.append(i);
        else
            *at = i;
    }
    QList<qsizetype> stay(ends.size());
    for (qsizetype k = ends.size() - 1, row = ends.isEmpty() ? -1 : ends.last(); k >= 0; --k, row = before[row])
        stay[k] = row;
    return stay;
}

} // namespace velmor
