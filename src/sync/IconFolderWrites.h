#pragma once

#include "platform/MainQueue.h"
#include "platform/SerialQueue.h"
#include "sync/CloudReply.h"
#include "sync/IconFolder.h"

#include <QStringList>

#include <functional>
#include <memory>

namespace velmor {

// Writes into the icons folder, and other file work of the icon sync, away from the main
// thread: a write ends with fsync(), which a busy disk can hold for tens of milliseconds.
// The work runs one piece after another in the order asked; the awaiting coroutine
// resumes on the main queue.
class IconFolderWrites {
public:
    explicit IconFolderWrites(std::shared_ptr<IconFolder> folder);

    // IconFolder::replace, awaited.
    cloudkit::ReplyAwaiter<IconFolder::Written> replace(QString fileName, QByteArray bytes, QDateTime date,
                                                        files::FileStamp expected, QString keepAs = {}) const;

    // IconFolder::sweepTemporaries, started: a folder of many files someone planted
    // never holds the window.
    void sweepTemporaries() const;
    // Removes the files at `paths` on the same queue, after the work asked before; nothing
    // waits for it. A removal can hold a busy disk for tens of milliseconds.
    void remove(QStringList paths) const;

    // `work` on the same queue, after the writes asked before; awaited.
    template <typename T>
    cloudkit::ReplyAwaiter<T> run(std::function<T()> work) const
    {
        return cloudkit::ReplyAwaiter<T>([queue = queue_, work = std::move(work)](cloud::Completion<T> done) {
            queue->async([work, done = std::move(done)] {
                T result = work();
                postToMain([done, result = std::move(result)] { done(result, std::nullopt); });
            });
        });
    }

private:
    std::shared_ptr<IconFolder> folder_;
    std::shared_ptr<SerialQueue> queue_;
};

} // namespace velmor
