#pragma once

// Header-only: waiting on the real Qt event loop, for benchmarks that drive the
// application or its parts as they run.

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <functional>

namespace velmor::bench {

// Runs the loop for `time`.
inline void runFor(std::chrono::milliseconds time)
{
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the loop until `done` holds; ends the benchmark, naming `what`, after `patience`.
inline void runUntil(const std::function<bool()>& done, const char* what,
                     std::chrono::milliseconds patience = std::chrono::seconds(300))
{
    const QDeadlineTimer deadline(patience);
    while (!done()) {
        if (deadline.hasExpired())
            qFatal("waited in vain: %s", what);
        runFor(std::chrono::milliseconds(5));
    }
}

} // namespace velmor::bench
