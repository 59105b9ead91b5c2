#include "ui/devices/HIDSampleListModel.h"

#include "ui/devices/HIDSampleText.h"

#include <QSet>

namespace velmor {

void HIDSampleListModel::setSamples(const QList<RawHIDSample>& samples)
{
    // Nothing changed: the usual case for state refreshes that are not about samples.
    if (samples.size() == samples_.size()
        && (samples.isEmpty() || (samples.first().id == samples_.first().id && samples.last().id == samples_.last().id))) {
        bool same = true;
        for (qsizetype row = 0; row < samples.size() && same; ++row)
            same = samples[row].id == samples_[row].id;
        if (same) {
            samples_ = samples;
            return;
        }
    }

    QSet<QUuid> incoming;
    incoming.reserve(samples.size());
    for (const RawHIDSample& sample : samples)
        incoming.insert(sample.id);

    // Remove rows that left, in runs, from the back so earlier row numbers stay valid.
    for (qsizetype row = samples_.size() - 1; row >= 0;) {
        if (incoming.contains(samples_[row].id)) {
            --row;
            continue;
        }
        qsizetype first = row;
        while (first > 0 && !incoming.contains(samples_[first - 1].id))
            --first;
        beginRemoveRows({}, static_cast<int>(first), static_cast<int>(row));
        samples_.remove(first, row - first + 1);
        endRemoveRows();
        row = first - 1;
    }

    QSet<QUuid> kept;
    kept.reserve(samples_.size());
    for (const RawHIDSample& sample : std::as_const(samples_))
        kept.insert(sample.id);
    // The rows left must be in the new list's order; a feed never reorders, but if
    // one did, start over rather than show rows in the wrong place.
    qsizetype next = 0;
    bool inOrder = true;
    for (const RawHIDSample& sample : samples) {
        if (!kept.contains(sample.id))
            continue;
        inOrder = next < samples_.size() && samples_[next].id == sample.id;
        if (!inOrder)
            break;
        ++next;
    }
    if (!inOrder || next != samples_.size()) {
        beginResetModel();
        samples_ = samples;
        endResetModel();
        return;
    }

    // Insert the new samples around the rows left, in runs.
    for (qsizetype row = 0; row < samples.size();) {
        if (kept.contains(samples[row].id)) {
            samples_[row] = samples[row];
            ++row;
            continue;
        }
        qsizetype end = row;
        while (end < samples.size() && !kept.contains(samples[end].id))
            ++end;
        beginInsertRows({}, static_cast<int>(row), static_cast<int>(end - 1));
        samples_.insert(row, end - row, RawHIDSample{});
        for (qsizetype at = row; at < end; ++at)
            samples_[at] = samples[at];
        endInsertRows();
        row = end;
    }
}

std::optional<qsizetype> HIDSampleListModel::rowOf(const QUuid& id) const
{
    // The newest rows are the likeliest.
    for (qsizetype row = samples_.size() - 1; row >= 0; --row)
        if (samples_[row].id == id)
            return row;
    return std::nullopt;
}

int HIDSampleListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(samples_.size());
}

QVariant HIDSampleListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const RawHIDSample& sample = samples_[index.row()];
    switch (role) {
    case UsageRole:
        return hidtext::sampleUsage(sample);
    case ValueRole:
        return hidtext::sampleValue(sample);
    case TimeRole:
        return hidtext::shortTime(sample.timestamp);
    case IdRole:
        return sample.id;
    default:
        return {};
    }
}

QHash<int, QByteArray> HIDSampleListModel::roleNames() const
{
    return {{UsageRole, "usage"}, {ValueRole, "value"}, {TimeRole, "time"}, {IdRole, "sampleId"}};
}

} // namespace velmor
