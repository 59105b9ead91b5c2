#pragma once

#include "platform/cloud/Subscription.h"
#include "platform/cloud/folder/FolderCodec.h"

#include <QList>
#include <QHash>
#include <QString>

namespace velmor::cloud::folder {

// Tells which records other clients changed since the last look, from the change
// tags of the records. The client's own saves are noted as they happen, so they
// never count as changes.
class ChangeTracker {
public:
    using Stamps = QHash<QString, RecordStamp>;

    void setBaseline(Stamps stamps) { known_ = std::move(stamps); }
    void noteOwnSave(const RecordStamp& stamp) { known_.insert(stamp.recordName, stamp); }
    // The changes from the last look to `current`, which becomes the last look.
    QList<RecordChange> update(const Stamps& current);

private:
    Stamps known_;
};

} // namespace velmor::cloud::folder
