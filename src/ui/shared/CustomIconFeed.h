#pragma once

#include "model/CustomIconLibrary.h"
#include "platform/MainQueue.h"
#include "platform/Published.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace velmor {

// Feeds a view that holds pictures of many custom icons (the icon picker's grid): asks the
// library for their images, those on screen first and the rest a few at a time while the
// library has room, and tells at most once a frame which of its rows got an image, so the
// view changes those rows only and the window's thread stays free while thousands draw.
// Main thread.
class CustomIconFeed {
public:
    // Rows of the list given to setIcons(), each told once per arrival, in arrival order.
    using Arrived = std::function<void(const QList<int>& rows)>;
    // Lookups under way in the library beyond which the rest waits for a later frame.
    static constexpr int maxUnderWay = 48;
    static constexpr int perTurn = 64;
    static constexpr MainQueue::Duration frame{16};

    explicit CustomIconFeed(Arrived onArrived, CustomIconLibrary& library = CustomIconLibrary::shared());
    CustomIconFeed(const CustomIconFeed&) = delete;
    CustomIconFeed& operator=(const CustomIconFeed&) = delete;

    // The icons of the view's rows, by file name; none asked for yet. Empty: feeds nothing.
    void setIcons(QStringList fileNames);
    // Rows from `first`, `count` of them, are on screen: they are asked for before the rest.
    void showing(int first, int count);

    // The image the library holds for the icon now, asking for nothing.
    std::optional<QImage> image(const QString& fileName) const { return library_.imageCache().image(fileName); }
    // The image of an icon on screen: one the library's cache let go is taken back from the
    // renderer, or asked for again (its arrival is told as any other).
    std::optional<QImage> shownImage(const QString& fileName) { return library_.customIconImage(fileName); }
    // Rows not asked for yet.
    int unasked() const { return unasked_; }

private:
    void ask();
    void scheduleAsk(MainQueue::Duration delay);
    std::optional<int> nextRow();
    void arrived(const QString& fileName);
    void arrivedRow(int row);
    void flush();

    Arrived onArrived_;
    CustomIconLibrary& library_;
    QStringList names_;
    QHash<QString, int> rows_;
    std::vector<bool> asked_;
    int unasked_ = 0;
    int next_ = 0;
    std::deque<int> onScreen_;
    QList<int> pending_;
    std::vector<bool> isPending_;
    // Handles of the next turn's asking and of the frame's telling (the flags: scheduled).
    Cancellable asking_;
    Cancellable flushing_;
    bool askScheduled_ = false;
    bool flushScheduled_ = false;
    bool subscribed_ = false;
    Subscription subscription_;
};

} // namespace velmor
