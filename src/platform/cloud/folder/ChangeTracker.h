#pragma once

#include "platform/cloud/Subscription.h"
#include "platform/cloud/folder/FolderCodec.h"

#include <QHash>
#include <QList>
#include <QString>

namespace velmor::cloud::folder {

// Tells which records other clients changed since the last look, from the change
// tags of the records. The client's own saves are noted as they happen, so they
// never count as changes. A look brings only what changed in the folder, so its cost
// follows what changed, not what the folder holds.
class ChangeTracker {
public:
    // What a look at the records folder found changed since the one before.
    struct Look {
        // The records whose files are new or changed.
        QList<RecordStamp> present;
        // The records whose files went or no longer hold a readable record.
        QStringList gone;
    };

    void setBaseline(const Look& look);
    void noteOwnSave(const RecordStamp& stamp) { known_.insert(stamp.recordName, stamp); }
    // The changes `look` brings to the records known.
    QList<RecordChange> update(const Look& look);

private:
    QHash<QString, RecordStamp> known_;
};

} // namespace velmor::cloud::folder
