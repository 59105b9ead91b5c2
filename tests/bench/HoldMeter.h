#pragma once

// Header-only: the longest single hold of the main thread, for benchmarks on the
// real Qt event loop. Every event the loop hands out (posted work, timers, queued
// completions from workers, sockets) goes through notify(); the outermost call's
// wall time is one hold, blocking calls (fsync, reads) included.

#include <QByteArray>
#include <QEvent>
#include <QGuiApplication>
#include <QObject>

#include <chrono>

namespace velmor::bench {

// `Base`: the application class the benchmark needs (QApplication for widgets).
template <typename Base>
class HoldMeter : public Base {
public:
    using Base::Base;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (depth_ > 0)
            return dispatch(receiver, event);
        const auto start = std::chrono::steady_clock::now();
        const QEvent::Type type = event->type();
        const QByteArray what = receiver ? QByteArray(receiver->metaObject()->className()) : QByteArray("none");
        const bool handled = dispatch(receiver, event);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (ms > longestMs_) {
            longestMs_ = ms;
            longestWhat_ = what + " event " + QByteArray::number(type);
        }
        return handled;
    }

    // From now on: the holds seen before are forgotten.
    void restart()
    {
        longestMs_ = 0;
        longestWhat_.clear();
    }
    double longestMs() const { return longestMs_; }
    // The receiver's class and the event type of the longest hold.
    const QByteArray& longestWhat() const { return longestWhat_; }

private:
    bool dispatch(QObject* receiver, QEvent* event)
    {
        struct Depth {
            int& depth;
            explicit Depth(int& d) : depth(++d) {}
            ~Depth() { --depth; }
        } nested(depth_);
        return Base::notify(receiver, event);
    }

    int depth_ = 0;
    double longestMs_ = 0;
    QByteArray longestWhat_;
};

using HoldMeterApplication = HoldMeter<QGuiApplication>;

} // namespace velmor::bench
