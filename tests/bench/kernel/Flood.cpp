#include "Flood.h"

#include "Measures.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

namespace velmor::bench {

namespace {

// Tallies what a keyboard types, on a thread of its own (on our processor, at a
// real-time priority above ours) that wakes for every keystroke: a program
// catching up on a backlog types a keystroke every fraction of a millisecond,
// and the kernel keeps only 16 for us.
class TallyThread {
public:
    explicit TallyThread(OutputKeyboard& output)
        : output_(output)
        , thread_([this] { run(); })
    {
    }
    ~TallyThread() { stop(); }

    // Stops reading (after reading what is there) and gives the tally.
    const KeyTally& stop()
    {
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
        }
        return tally_;
    }
    int presses(std::uint16_t code)
    {
        const std::lock_guard lock(mutex_);
        return tally_.presses(code);
    }

private:
    void run()
    {
        // Above the thread sending the reports, which may send several at once.
        sched_param priority{};
        priority.sched_priority = 60;
        ::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &priority);
        for (bool last = false; !last;) {
            last = stop_;
            pollfd entry{output_.fd(), POLLIN, 0};
            ::poll(&entry, 1, 20);
            const QList<OutputKeyboard::KeyEvent> events = output_.readAvailable();
            const std::lock_guard lock(mutex_);
            for (const OutputKeyboard::KeyEvent& event : events)
                tally_.add(event.code, event.value);
        }
    }

    OutputKeyboard& output_;
    std::mutex mutex_;
    KeyTally tally_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace

FloodFigures flood(Side& side, int seconds, int reportsPerSecond)
{
    FloodFigures figures;
    side.output.readAvailable();
    const int dropsBefore = side.output.drops();
    TallyThread reader(side.output);

    const int reports = seconds * reportsPerSecond;
    const std::int64_t period = 1'000'000'000 / reportsPerSecond;
    const std::int64_t cpuBefore = side.process.cpuTimeNs();
    const std::int64_t start = monotonicNs();
    std::int64_t schedule = start;
    std::int64_t lastSent = start;
    for (int k = 0; k < reports; ++k) {
        // On time like a device (we run at real-time priority). When the whole
        // machine was held up, carry on from now rather than send the missed
        // reports at once: never faster than the rate.
        const std::int64_t due = schedule + k * period;
        if (monotonicNs() > due + 20 * msNs) {
            schedule += monotonicNs() - due;
            ++figures.heldUp;
        }
        sleepUntil(schedule + k * period);
        const bool press = k % 2 == 0;
        side.keypad.sendInput(press ? pressK01 : releaseAll);
        figures.presses += press;
        lastSent = monotonicNs();
    }
    // Until the last press was typed, or clearly will not be.
    for (const std::int64_t giveUp = monotonicNs() + 5000 * msNs;
         reader.presses(shortcutKey) < figures.presses && monotonicNs() < giveUp;)
        sleepNs(2 * msNs);
    const std::int64_t end = monotonicNs();
    const std::int64_t cpuAfter = side.process.cpuTimeNs();
    // A release that went missing shows as a repeat that never stops.
    sleepNs(1000 * msNs);
    const KeyTally& tally = reader.stop();

    figures.reportsPerSecond = double(reports) / (double(lastSent - start) / 1e9);
    if (cpuBefore >= 0 && cpuAfter >= 0)
        figures.cpuPercent = 100.0 * double(cpuAfter - cpuBefore) / double(end - start);
    figures.typed = tally.presses(shortcutKey);
    figures.lost = std::max(0, figures.presses - figures.typed);
    figures.extra = std::max(0, figures.typed - figures.presses);
    figures.stuck = int(tally.held().size() + side.output.heldKeys().size()) + tally.strayReleases();
    figures.overflowed = side.output.drops() > dropsBefore;
    std::fprintf(stderr, "flood %s: %d presses sent, %d typed, %d released, %lld keys held, %d stray releases%s\n",
                 qPrintable(side.name), figures.presses, figures.typed, tally.releases(shortcutKey),
                 static_cast<long long>(tally.held().size()), tally.strayReleases(),
                 figures.overflowed ? ", and our reader fell behind: the kernel dropped events" : "");
    return figures;
}

} // namespace velmor::bench
