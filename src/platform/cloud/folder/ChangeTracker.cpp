#include "platform/cloud/folder/ChangeTracker.h"

namespace velmor::cloud::folder {

QList<RecordChange> ChangeTracker::update(const Stamps& current)
{
    QList<RecordChange> changes;
    for (auto it = current.cbegin(); it != current.cend(); ++it) {
        const auto known = known_.constFind(it.key());
        if (known == known_.cend())
            changes.append({RecordChange::Kind::created, it->recordType, it.key()});
        else if (known->changeTag != it->changeTag)
            changes.append({RecordChange::Kind::updated, it->recordType, it.key()});
    }
    for (auto it = known_.cbegin(); it != known_.cend(); ++it)
        if (!current.contains(it.key()))
            changes.append({RecordChange::Kind::deleted, it->recordType, it.key()});
    known_ = current;
    return changes;
}

} // namespace velmor::cloud::folder
