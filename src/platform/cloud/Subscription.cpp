#include "platform/cloud/Subscription.h"

namespace velmor::cloud {

Subscription Subscription::database(QString id)
{
    Subscription s;
    s.subscriptionID = std::move(id);
    s.kind = Kind::database;
    return s;
}

Subscription Subscription::query(QString id, QString recordType, QString predicate, Options options)
{
    Subscription s;
    s.subscriptionID = std::move(id);
    s.kind = Kind::query;
    s.recordType = std::move(recordType);
    s.predicate = std::move(predicate);
    s.options = options;
    return s;
}

Subscription Subscription::recordZone(QString id)
{
    Subscription s;
    s.subscriptionID = std::move(id);
    s.kind = Kind::recordZone;
    return s;
}

bool fires(const Subscription& subscription, const RecordChange& change)
{
    switch (subscription.kind) {
    case Subscription::Kind::database:
    case Subscription::Kind::recordZone:
        return true;
    case Subscription::Kind::query:
        break;
    }
    if (subscription.recordType != change.recordType || subscription.predicate != Subscription::truePredicate)
        return false;
    switch (change.kind) {
    case RecordChange::Kind::created:
        return subscription.options.testFlag(Subscription::Option::firesOnRecordCreation);
    case RecordChange::Kind::updated:
        return subscription.options.testFlag(Subscription::Option::firesOnRecordUpdate);
    case RecordChange::Kind::deleted:
        return subscription.options.testFlag(Subscription::Option::firesOnRecordDeletion);
    }
    return false;
}

} // namespace velmor::cloud
