#pragma once

#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace velmor::hid {

// Reads the input reports of one hidraw node on the main loop. A read that
// fails with ENODEV or EIO means the device is gone: the reader stops and says
// so once. Any other failure stops it silently. Lives and dies on the main thread.
class HidrawReader {
public:
    using ReportHandler = std::function<void(const QByteArray& report)>;
    using GoneHandler = std::function<void()>;

    // Opens the node for reading; isOpen() tells whether that worked.
    HidrawReader(const QString& devnode, ReportHandler onReport, GoneHandler onGone);
    // Reads from `fd` (non-blocking) instead.
    HidrawReader(UniqueFd fd, ReportHandler onReport, GoneHandler onGone);
    ~HidrawReader();
    HidrawReader(const HidrawReader&) = delete;
    HidrawReader& operator=(const HidrawReader&) = delete;

    bool isOpen() const { return fd_.isValid(); }
    // True once reading has stopped.
    bool isStopped() const { return stopped_; }
    // The errno of a failed open, else 0.
    int openError() const { return openError_; }

    // Reads the next waiting report, if any. The notifier calls it whenever
    // the node is readable, so every waiting report is read, one per turn.
    void readAvailable();

private:
    void stop();

    UniqueFd fd_;
    int openError_ = 0;
    bool stopped_ = false;
    ReportHandler onReport_;
    GoneHandler onGone_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QByteArray buffer_;
};

} // namespace velmor::hid
