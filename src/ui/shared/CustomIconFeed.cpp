#include "ui/shared/CustomIconFeed.h"

#include <algorithm>

namespace velmor {

CustomIconFeed::CustomIconFeed(Arrived onArrived, CustomIconLibrary& library)
    : onArrived_(std::move(onArrived)), library_(library)
{
    subscription_ = library_.lastArrival().subscribe([this](const QString& fileName) {
        if (subscribed_) // the first call is the value from before
            arrived(fileName);
    });
    subscribed_ = true;
}

void CustomIconFeed::setIcons(QStringList fileNames)
{
    names_ = std::move(fileNames);
    rows_.clear();
    rows_.reserve(names_.size());
    for (int row = 0; row < names_.size(); ++row)
        rows_.insert(names_[row], row);
    asked_.assign(names_.size(), false);
    isPending_.assign(names_.size(), false);
    unasked_ = int(names_.size());
    next_ = 0;
    onScreen_.clear();
    pending_.clear();
    flushing_.cancel();
    asking_.cancel();
    askScheduled_ = flushScheduled_ = false;
    if (unasked_ > 0)
        scheduleAsk(MainQueue::Duration(0));
}

void CustomIconFeed::showing(int first, int count)
{
    onScreen_.clear();
    const int end = std::min<int>(int(names_.size()), first + std::max(0, count));
    for (int row = std::max(0, first); row < end; ++row)
        if (!asked_[row])
            onScreen_.push_back(row);
    if (!onScreen_.empty())
        ask();
}

void CustomIconFeed::scheduleAsk(MainQueue::Duration delay)
{
    if (askScheduled_)
        return;
    askScheduled_ = true;
    asking_ = afterOnMain(delay, [this] { ask(); });
}

std::optional<int> CustomIconFeed::nextRow()
{
    while (!onScreen_.empty()) {
        const int row = onScreen_.front();
        onScreen_.pop_front();
        if (!asked_[row])
            return row;
    }
    while (next_ < int(names_.size()) && asked_[next_])
        ++next_;
    if (next_ < int(names_.size()))
        return next_++;
    return std::nullopt;
}

// A few lookups per turn and only while the library has room: what comes on screen later
// is not queued behind the whole list.
void CustomIconFeed::ask()
{
    asking_.cancel();
    askScheduled_ = false;
    for (int budget = perTurn; budget > 0 && library_.lookupsUnderWay() < maxUnderWay; --budget) {
        const std::optional<int> row = nextRow();
        if (!row)
            break;
        asked_[*row] = true;
        --unasked_;
        const QString& name = names_[*row];
        const bool held = image(name).has_value();
        // An image the renderer still remembered comes back at once, with no arrival.
        if (library_.customIconImage(name) && !held)
            arrivedRow(*row);
    }
    if (unasked_ > 0)
        scheduleAsk(library_.lookupsUnderWay() < maxUnderWay ? MainQueue::Duration(0) : frame);
}

void CustomIconFeed::arrived(const QString& fileName)
{
    if (fileName.isEmpty()) {
        // Every image went (the files were replaced): each row shows its fallback until
        // its new drawing arrives.
        for (int row = 0; row < names_.size(); ++row)
            arrivedRow(row);
        asked_.assign(names_.size(), false);
        unasked_ = int(names_.size());
        next_ = 0;
        if (unasked_ > 0)
            scheduleAsk(MainQueue::Duration(0));
        return;
    }
    if (const auto found = rows_.constFind(fileName); found != rows_.cend())
        arrivedRow(*found);
}

void CustomIconFeed::arrivedRow(int row)
{
    if (isPending_[row])
        return;
    isPending_[row] = true;
    pending_.append(row);
    if (!flushScheduled_) {
        flushScheduled_ = true;
        flushing_ = afterOnMain(frame, [this] { flush(); });
    }
}

void CustomIconFeed::flush()
{
    flushScheduled_ = false;
    const QList<int> rows = std::exchange(pending_, {});
    for (const int row : rows)
        isPending_[row] = false;
    onArrived_(rows);
}

} // namespace velmor
