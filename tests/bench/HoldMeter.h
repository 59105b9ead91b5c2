#pragma once

// Header-only: the longest single hold of the main thread, for benchmarks on the
// real Qt event loop. Every event the loop hands out (posted work, timers, queued
// completions from workers, sockets) goes through notify(); the outermost call's
// wall time is one hold, blocking calls (fsync, reads) included, and the thread's CPU
// time inside it tells work from a loaded machine (or a wait). Holds can be told apart by
// who they were for (see countOnly).

#include <QByteArray>
#include <QEvent>
#include <QGuiApplication>
#include <QObject>

#include "ThreadTime.h"

#include <chrono>
#include <functional>

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
        const double cpuStart = threadCpuMs();
        const QEvent::Type type = event->type();
        const QByteArray what = receiver ? QByteArray(receiver->metaObject()->className()) : QByteArray("none");
        const bool counted = !counts_ || counts_(receiver, event);
        const bool handled = dispatch(receiver, event);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        Longest& longest = counted ? counted_ : others_;
        if (ms > longest.ms) {
            longest.ms = ms;
            longest.cpuMs = threadCpuMs() - cpuStart;
            longest.what = what + " event " + QByteArray::number(type);
        }
        return handled;
    }

    // From now on: the holds seen before are forgotten.
    void restart() { counted_ = others_ = {}; }
    // Only the holds of events `counts` picks are the longest hold; the others are
    // measured apart (othersMs). Empty: every hold counts.
    void countOnly(std::function<bool(QObject* receiver, QEvent* event)> counts) { counts_ = std::move(counts); }
    double longestMs() const { return counted_.ms; }
    // The thread's CPU time inside the longest hold.
    double longestCpuMs() const { return counted_.cpuMs; }
    // The receiver's class and the event type of the longest hold.
    const QByteArray& longestWhat() const { return counted_.what; }
    // The longest of the holds countOnly left out, its CPU time and what it was.
    double othersMs() const { return others_.ms; }
    double othersCpuMs() const { return others_.cpuMs; }
    const QByteArray& othersWhat() const { return others_.what; }

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

    struct Longest {
        double ms = 0;
        double cpuMs = 0;
        QByteArray what;
    };
    int depth_ = 0;
    std::function<bool(QObject*, QEvent*)> counts_;
    Longest counted_;
    Longest others_;
};

using HoldMeterApplication = HoldMeter<QGuiApplication>;

} // namespace velmor::bench
