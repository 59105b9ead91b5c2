#pragma once

#include "core/ActivityFeeds.h"
#include "platform/Published.h"

#include <QByteArray>

#include <functional>

namespace velmor {

// The Event Log's lines, also written out as they come: standard error when Velmor
// runs from a terminal. Each line once, in order, as "hh:mm:ss.zzz <line>\n" in local
// time; a repeat gathered into an earlier line ("… ×N") is one more line, written
// when it comes. The lines already there when it starts come first. Main thread.
class LogEcho {
public:
    using Write = std::function<void(const QByteArray& line)>;

    LogEcho(const Published<QList<LogEntry>>& logs, Write write);

private:
    void written(const QList<LogEntry>& logs);

    Write write_;
    // The serial of the newest entry written.
    quint64 written_ = 0;
    Subscription subscription_;
};

} // namespace velmor
