#pragma once

#include "model/ButtonMapping.h"
#include "model/PacsProfile.h"
#include "platform/SerialQueue.h"
#include "ui/mapping/MappingListModel.h"
#include "ui/mapping/MappingTypes.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace velmor {

// Makes the current-mappings list's rows (each mapping with its tool,
// mappingEntries, then mappingListRows) and hands them over on the main queue
// with the count of mappings whose tool the profile has. A short list is made at
// once; a long one on a worker queue, since pairing and sorting 100,000 mappings
// takes a good part of a second, so that the window's thread never waits for it.
// Only the newest request's rows are handed over; the rows they replace are let
// go of on the worker.
class MappingListRowsMaker {
public:
    using Deliver = std::function<void(QList<MappingListRow> rows, qsizetype count)>;

    // Lists up to this long are made at once, on the caller's thread.
    static constexpr qsizetype madeAtOnce = 2'000;

    explicit MappingListRowsMaker(Deliver deliver);
    ~MappingListRowsMaker();
    MappingListRowsMaker(const MappingListRowsMaker&) = delete;
    MappingListRowsMaker& operator=(const MappingListRowsMaker&) = delete;

    void make(const QList<ButtonMapping>& mappings, const PacsProfile& pacs, const QString& filter);
    // Lets go of rows no longer shown away from the window's thread.
    void release(QList<MappingListRow> rows);
    // A long list is being made: the rows shown are not yet the newest.
    bool isMaking() const { return making_; }

private:
    struct Latest;
    std::shared_ptr<Latest> latest_;
    std::unique_ptr<SerialQueue> queue_;
    bool making_ = false;
};

} // namespace velmor
