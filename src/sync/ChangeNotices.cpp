#include "sync/ChangeNotices.h"

namespace velmor {

ChangeNotices::ChangeNotices(Show show, ShowGathered showGathered)
    : show_(std::move(show)), showGathered_(std::move(showGathered))
{
}

void ChangeNotices::post(Notice notice)
{
    if (!interval_.isPending()) {
        show_(notice.title, notice.body);
        interval_ = afterOnMain(interval, [this] { intervalEnded(); });
        return;
    }
    if (!pending_)
        pending_ = Gathered{notice.title, notice.before, {}, {}};
    else if (pending_->title != notice.title)
        pending_->title = QStringLiteral("Velmor profiles updated");
    if (!notice.extra.isEmpty() && !pending_->extras.contains(notice.extra))
        pending_->extras.append(notice.extra);
    pending_->lastBody = notice.body;
    pendingOne_ = ++pendingCount_ == 1 ? std::optional(std::move(notice)) : std::nullopt;
}

void ChangeNotices::intervalEnded()
{
    // Fired: no longer pending, and nothing to cancel.
    interval_.release();
    if (!pending_)
        return;
    std::optional<Gathered> gathered = std::exchange(pending_, std::nullopt);
    std::optional<Notice> one = std::exchange(pendingOne_, std::nullopt);
    pendingCount_ = 0;
    interval_ = afterOnMain(interval, [this] { intervalEnded(); });
    if (one)
        show_(one->title, one->body);
    else
        showGathered_(std::move(*gathered));
}

} // namespace velmor
