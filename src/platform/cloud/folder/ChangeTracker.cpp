#include "platform/cloud/folder/ChangeTracker.h"

namespace velmor::cloud::folder {

void ChangeTracker::setBaseline(const Look& look)
{
    known_.clear();
    update(look);
}

QList<RecordChange> ChangeTracker::update(const Look& look)
{
    QList<RecordChange> changes;
    for (const QString& name : look.gone) {
        const auto known = known_.constFind(name);
        if (known == known_.cend())
            continue;
        changes.append({RecordChange::Kind::deleted, known->recordType, name});
        known_.erase(known);
    }
    for (const RecordStamp& stamp : look.present) {
        auto known = known_.find(stamp.recordName);
        if (known == known_.end()) {
            changes.append({RecordChange::Kind::created, stamp.recordType, stamp.recordName});
            known_.insert(stamp.recordName, stamp);
        } else if (known->changeTag != stamp.changeTag) {
            changes.append({RecordChange::Kind::updated, stamp.recordType, stamp.recordName});
            *known = stamp;
        }
    }
    return changes;
}

} // namespace velmor::cloud::folder
