#pragma once

#include "platform/SerialQueue.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace velmor {

// Writes Velmor's own files of the data folder on a queue of its own, each replaced
// whole by a temporary file of this process (never written through a link), and tells why one
// could not be written: on the main queue, once, until a write works again.
class QueuedFileWriter {
public:
    using FailureText = std::function<QString(const QString& path, const QString& cause)>;
    using Tell = std::function<void(const QString& message)>;

    QueuedFileWriter(const QString& label, FailureText failureText, Tell tell);

    // `bytes` runs on the queue, after the work handed over before.
    void write(QString path, std::function<QByteArray()> bytes);
    const std::shared_ptr<SerialQueue>& queue() const { return queue_; }

private:
    struct Failures {
        FailureText text;
        Tell tell;
        std::atomic<bool> failing = false;
    };
    std::shared_ptr<SerialQueue> queue_;
    std::shared_ptr<Failures> failures_;
};

} // namespace velmor
