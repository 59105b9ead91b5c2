#pragma once

#include "ChildProcess.h"

#include <QString>

#include <optional>

namespace velmor::bench {

// perf recording one process for as long as this object lives; its report
// then goes to standard error. Does nothing without a perf program.
class PerfProfile {
public:
    PerfProfile(const QString& perf, pid_t pid);
    ~PerfProfile();
    PerfProfile(const PerfProfile&) = delete;
    PerfProfile& operator=(const PerfProfile&) = delete;

private:
    QString perf_;
    QString file_ = QStringLiteral("/tmp/velmor-pipeline.perf");
    std::optional<ChildProcess> recorder_;
};

// strace counting one process's system calls, by kind, for as long as this
// object lives; the table then goes to standard error, each line prefixed with
// the side's name. Slows the process down: its latency figures mean nothing.
class SyscallCount {
public:
    SyscallCount(const QString& strace, const QString& side, pid_t pid);
    ~SyscallCount();
    SyscallCount(const SyscallCount&) = delete;
    SyscallCount& operator=(const SyscallCount&) = delete;

private:
    QString side_;
    QString file_;
    std::optional<ChildProcess> tracer_;
};

} // namespace velmor::bench
