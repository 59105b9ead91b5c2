#include "sync/QueuedFileWriter.h"

#include "platform/MainQueue.h"
#include "platform/OwnFile.h"

namespace velmor {

QueuedFileWriter::QueuedFileWriter(const QString& label, FailureText failureText, Tell tell)
    : queue_(SerialQueue::create(label)), failures_(std::make_shared<Failures>())
{
    failures_->text = std::move(failureText);
    failures_->tell = std::move(tell);
}

void QueuedFileWriter::write(QString path, std::function<QByteArray()> bytes)
{
    queue_->async([path = std::move(path), bytes = std::move(bytes), failures = std::weak_ptr(failures_)] {
        // A write that fails leaves the file as it was. The file is Velmor's own:
        // a link in its place is replaced, never written through.
        const QString failure = files::replaceWithOwnFile(path, bytes());
        const std::shared_ptr<Failures> told = failures.lock();
        if (!told || told->failing.exchange(!failure.isEmpty()) || failure.isEmpty())
            return;
        postToMain([failures, path, failure] {
            if (const std::shared_ptr<Failures> alive = failures.lock(); alive && alive->tell)
                // The cause is a clause of the text: its own full stop goes.
                alive->tell(alive->text(path, failure.endsWith(u'.') ? failure.chopped(1) : failure));
        });
    });
}

} // namespace velmor
