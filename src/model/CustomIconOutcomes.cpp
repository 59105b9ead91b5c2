#include "model/CustomIconOutcomes.h"

#include <QMutexLocker>

namespace velmor {

std::optional<CustomIconOutcomes::Known> CustomIconOutcomes::find(const QString& fileName,
                                                                  const files::FileStamp& stamp) const
{
    const QMutexLocker lock(&mutex_);
    const auto found = entries_.constFind(fileName);
    if (found == entries_.cend() || found->stamp != stamp)
        return std::nullopt;
    return found->known;
}

std::optional<quint64> CustomIconOutcomes::start(const QString& fileName, const files::FileStamp& stamp)
{
    const QMutexLocker lock(&mutex_);
    const auto found = entries_.constFind(fileName);
    if (found != entries_.cend() && found->stamp == stamp && found->known.state == State::underway)
        return std::nullopt;
    if (found == entries_.cend() || found->known.state != State::underway)
        ++underway_;
    entries_.insert(fileName, {stamp, {State::underway, {}}, ++lookups_});
    return lookups_;
}

void CustomIconOutcomes::settle(const QString& fileName, quint64 lookup, const std::optional<QString>& drawnKey)
{
    const QMutexLocker lock(&mutex_);
    const auto found = entries_.find(fileName);
    if (found == entries_.end() || found->lookup != lookup || found->known.state != State::underway)
        return;
    found->known = drawnKey ? Known{State::drawn, *drawnKey} : Known{State::failed, {}};
    --underway_;
}

void CustomIconOutcomes::abandon(const QString& fileName, quint64 lookup)
{
    const QMutexLocker lock(&mutex_);
    const auto found = entries_.constFind(fileName);
    if (found != entries_.cend() && found->lookup == lookup && found->known.state == State::underway) {
        entries_.erase(found);
        --underway_;
    }
}

int CustomIconOutcomes::underway() const
{
    const QMutexLocker lock(&mutex_);
    return underway_;
}

} // namespace velmor
