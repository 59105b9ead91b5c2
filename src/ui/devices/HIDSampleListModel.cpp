#include "ui/devices/HIDSampleListModel.h"

#include "ui/devices/HIDSampleText.h"

#include <QSet>

namespace velmor {

void HIDSampleListModel::setSamples(const QList<RawHIDSample>& samples)
{
    // Nothing changed: the usual case for state refreshes that are not about samples.
    if (samples.size() == rows_.size()
        && (samples.isEmpty() || (samples.first().id == rows_.first().sample.id && samples.last().id == rows_.last().sample.id))) {
        bool same = true;
        for (qsizetype row = 0; row < samples.size() && same; ++row)
            same = samples[row].id == rows_[row].sample.id;
        if (same)
            return;
    }

    QSet<QUuid> incoming;
    incoming.reserve(samples.size());
    for (const RawHIDSample& sample : samples)
        incoming.insert(sample.id);

    // Remove rows that left, in runs, from the back so earlier row numbers stay valid.
    for (qsizetype row = rows_.size() - 1; row >= 0;) {
        if (incoming.contains(rows_[row].sample.id)) {
            --row;
            continue;
        }
        qsizetype first = row;
        while (first > 0 && !incoming.contains(rows_[first - 1].sample.id))
            --first;
        beginRemoveRows({}, static_cast<int>(first), static_cast<int>(row));
        rows_.remove(first, row - first + 1);
        endRemoveRows();
        row = first - 1;
    }

    QSet<QUuid> kept;
    kept.reserve(rows_.size());
    for (const Row& row : std::as_const(rows_))
        kept.insert(row.sample.id);
    // The rows left must be in the new list's order; a feed never reorders, but if
    // one did, start over rather than show rows in the wrong place.
    qsizetype next = 0;
    bool inOrder = true;
    for (const RawHIDSample& sample : samples) {
        if (!kept.contains(sample.id))
            continue;
        inOrder = next < rows_.size() && rows_[next].sample.id == sample.id;
        if (!inOrder)
            break;
        ++next;
    }
    if (!inOrder || next != rows_.size()) {
        beginResetModel();
        rows_.clear();
        for (const RawHIDSample& sample : samples)
            rows_.append(makeRow(sample));
        endResetModel();
        return;
    }

    // Insert the new samples around the rows left, in runs.
    for (qsizetype row = 0; row < samples.size();) {
        if (kept.contains(samples[row].id)) {
            ++row;
            continue;
        }
        qsizetype end = row;
        while (end < samples.size() && !kept.contains(samples[end].id))
            ++end;
        beginInsertRows({}, static_cast<int>(row), static_cast<int>(end - 1));
        rows_.insert(row, end - row, Row{});
        for (qsizetype at = row; at < end; ++at)
            rows_[at] = makeRow(samples[at]);
        endInsertRows();
        row = end;
    }
}

HIDSampleListModel::Row HIDSampleListModel::makeRow(const RawHIDSample& sample)
{
    return Row{sample, hidtext::sampleUsage(sample), hidtext::sampleValue(sample), hidtext::shortTime(sample.timestamp)};
}

QList<RawHIDSample> HIDSampleListModel::samples() const
{
    QList<RawHIDSample> samples;
    samples.reserve(rows_.size());
    for (const Row& row : rows_)
        samples.append(row.sample);
    return samples;
}

std::optional<qsizetype> HIDSampleListModel::rowOf(const QUuid& id) const
{
    // The newest rows are the likeliest.
    for (qsizetype row = rows_.size() - 1; row >= 0; --row)
        if (rows_[row].sample.id == id)
            return row;
    return std::nullopt;
}

int HIDSampleListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant HIDSampleListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row& row = rows_[index.row()];
    switch (role) {
    case UsageRole:
        return row.usage;
    case ValueRole:
        return row.value;
    case TimeRole:
        return row.time;
    case IdRole:
        return row.sample.id;
    default:
        return {};
    }
}

QHash<int, QByteArray> HIDSampleListModel::roleNames() const
{
    return {{UsageRole, "usage"}, {ValueRole, "value"}, {TimeRole, "time"}, {IdRole, "sampleId"}};
}

} // namespace velmor
