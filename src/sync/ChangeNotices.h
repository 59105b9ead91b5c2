#pragma once

#include "platform/MainQueue.h"
#include "store/LoadResult.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace velmor {

// The profile sync's notices of what came in, at most one per interval: the first is
// shown at once; those that come before the interval is over are gathered, and one
// notice for all of them follows when it ends. None is lost, and the last one shown
// tells what the user then has.
class ChangeNotices {
public:
    static constexpr std::chrono::milliseconds interval{5000};

    struct Notice {
        QString title;
        QString body;
        // The profiles before the change told: a gathered notice tells the change from the
        // first one's to the profiles then.
        std::optional<LoadResult> before;
        // What no comparison of profiles says (files kept, a merge's account), kept whole.
        QString extra;
    };
    // Several notices to be told as one.
    struct Gathered {
        QString title;
        std::optional<LoadResult> before;
        QStringList extras;
        // The last one's body, for when there is nothing to compare.
        QString lastBody;
    };
    using Show = std::function<void(const QString& title, const QString& body)>;
    using ShowGathered = std::function<void(Gathered gathered)>;

    ChangeNotices(Show show, ShowGathered showGathered);

    void post(Notice notice);

private:
    void intervalEnded();

    Show show_;
    ShowGathered showGathered_;
    std::optional<Gathered> pending_;
    int pendingCount_ = 0;
    std::optional<Notice> pendingOne_;
    // Running while a notice was shown less than an interval ago.
    Cancellable interval_;
};

} // namespace velmor
