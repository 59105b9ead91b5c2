#include "MainLoop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace velmor::test::kernel {

bool runMainLoopUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    // Wakes the blocking wait below once the time is up.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(timeout);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace velmor::test::kernel
