#pragma once

#include "platform/SerialQueue.h"
#include "ui/mapping/MappingListModel.h"
#include "ui/mapping/MappingTypes.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace velmor {

// Makes the current-mappings list's rows (mappingListRows) and hands them over on
// the main queue. A short list is made at once; a long one on a worker queue,
// since sorting 100,000 button ids takes a good part of a second, so that the
// window's thread never waits for it. Only the newest request's rows are handed
// over; the rows they replace are let go of on the worker.
class MappingListRowsMaker {
public:
    using Deliver = std::function<void(QList<MappingListRow>)>;

    // Lists up to this long are made at once, on the caller's thread.
    static constexpr qsizetype madeAtOnce = 2'000;

    explicit MappingListRowsMaker(Deliver deliver);
    ~MappingListRowsMaker();
    MappingListRowsMaker(const MappingListRowsMaker&) = delete;
    MappingListRowsMaker& operator=(const MappingListRowsMaker&) = delete;

    void make(const QList<MappingEntry>& entries, const QString& filter);
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
