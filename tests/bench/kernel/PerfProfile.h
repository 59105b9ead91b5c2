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

} // namespace velmor::bench
