#pragma once

#include "platform/SerialQueue.h"
#include "sync/CloudReply.h"
#include "sync/IconFolder.h"

#include <memory>

namespace velmor {

// Writes into the icons folder away from the main thread: a write ends with fsync(),
// which a busy disk can hold for tens of milliseconds. Writes run one after another in
// the order asked; the awaiting coroutine resumes on the main queue.
class IconFolderWrites {
public:
    explicit IconFolderWrites(std::shared_ptr<IconFolder> folder);

    // IconFolder::replace, awaited.
    cloudkit::ReplyAwaiter<IconFolder::Written> replace(QString fileName, QByteArray bytes, QDateTime date,
                                                        files::FileStamp expected, QString keepAs = {}) const;

private:
    std::shared_ptr<IconFolder> folder_;
    std::shared_ptr<SerialQueue> queue_;
};

} // namespace velmor
