#pragma once

#include "input/RawHIDSample.h"

#include <QAbstractListModel>
#include <QList>
#include <QUuid>

#include <optional>

namespace velmor {

// The HID inspector's event rows, oldest first. setSamples() brings the rows in
// line with a new list by sample id: rows that left are removed and new ones
// inserted in place, so views keep their selection and scroll position while
// samples stream in (the feed drops at the front and appends at the back).
class HIDSampleListModel : public QAbstractListModel {
public:
    enum Role {
        UsageRole = Qt::DisplayRole, // "Page 0x… Usage 0x…"
        ValueRole = Qt::UserRole + 1, // "Value …"
        TimeRole,                     // hours and minutes
        IdRole,                       // the sample's QUuid
    };

    using QAbstractListModel::QAbstractListModel;

    void setSamples(const QList<RawHIDSample>& samples);
    const QList<RawHIDSample>& samples() const { return samples_; }
    std::optional<qsizetype> rowOf(const QUuid& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<RawHIDSample> samples_;
};

} // namespace velmor
