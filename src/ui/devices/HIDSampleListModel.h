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
    QList<RawHIDSample> samples() const;
    std::optional<qsizetype> rowOf(const QUuid& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    // A sample with its texts, made once when its row is added.
    struct Row {
        RawHIDSample sample;
        QString usage;
        QString value;
        QString time;
    };
    static Row makeRow(const RawHIDSample& sample);

    QList<Row> rows_;
};

} // namespace velmor
