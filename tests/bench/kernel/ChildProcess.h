#pragma once

#include <QString>
#include <QStringList>

#include <sched.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>

namespace velmor::bench {

// A program the benchmark runs and talks to through its standard input and
// output (standard error is shared). Destroying the object closes its input,
// gives it a moment to end, then kills it.
class ChildProcess {
public:
    // Starts `program`; `environment` entries ("NAME=value") are added to ours.
    // Throws std::system_error when it cannot be started.
    ChildProcess(const QString& program, const QStringList& arguments, const QStringList& environment = {});

    // The processors the programs started from now on run on (all by default).
    static void placePrograms(const cpu_set_t& cpus);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // CLOCK_MONOTONIC just before the program was started.
    std::int64_t startedNs() const { return startedNs_; }

    // The next line of its output, without the newline; none on time-out or
    // once the output has ended.
    std::optional<QString> readLine(std::chrono::milliseconds timeout);
    // Reads lines until one starts with `word` + ' ' and returns the number after
    // it (the programs' "ready T" lines); none when none comes in time.
    std::optional<std::int64_t> waitFor(const QString& word, std::chrono::milliseconds timeout);

    // CPU time of all its threads so far, in nanoseconds.
    std::int64_t cpuTimeNs() const;
    // Resident memory now and at its peak, in kilobytes (/proc/PID/status).
    std::int64_t residentKb() const;
    std::int64_t peakResidentKb() const;
    // Thread switches of all its threads so far, voluntary or not.
    std::int64_t contextSwitches() const;
    // The same by thread ("name/tid"): voluntary (it slept) and not (preempted). The main
    // thread goes by the program's file name; the kernel keeps 15 bytes of a thread's
    // name, so another thread's name of that length starts with "…".
    struct Switches {
        std::int64_t voluntary = 0;
        std::int64_t involuntary = 0;
    };
    std::map<QString, Switches> switchesByThread() const;

    // Closes its input and waits for it to end; kills it after `timeout`.
    // Its exit status, or -1 when it had to be killed or died of a signal.
    int finish(std::chrono::milliseconds timeout);

private:
    std::int64_t statusField(const char* name) const;

    QString programName_;
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::int64_t startedNs_ = 0;
    QByteArray pending_;
    bool exited_ = false;
};

// CLOCK_MONOTONIC in nanoseconds.
std::int64_t monotonicNs();

} // namespace velmor::bench
