#include "PerfProfile.h"

#include "BenchSide.h"

#include <signal.h>

#include <QFile>

#include <cstdio>

namespace velmor::bench {

using namespace std::chrono_literals;

PerfProfile::PerfProfile(const QString& perf, pid_t pid)
    : perf_(perf)
{
    if (perf.isEmpty())
        return;
    recorder_.emplace(perf, QStringList{QStringLiteral("record"), QStringLiteral("-q"), QStringLiteral("-e"),
                                        QStringLiteral("cpu-clock"), QStringLiteral("-F"), QStringLiteral("2000"),
                                        QStringLiteral("-g"), QStringLiteral("-o"), file_, QStringLiteral("-p"),
                                        QString::number(pid)});
    sleepNs(1000 * msNs); // perf attaches
}

PerfProfile::~PerfProfile()
{
    if (!recorder_)
        return;
    ::kill(recorder_->pid(), SIGINT);
    recorder_->finish(60s);
    // By function with its library, by function with what it calls, by library.
    const QStringList none{QStringLiteral("-g"), QStringLiteral("none")};
    for (const QStringList& view : {QStringList{QStringLiteral("--no-children"), QStringLiteral("--sort=dso,symbol")},
                                    QStringList{QStringLiteral("--children"), QStringLiteral("--sort=symbol")},
                                    QStringList{QStringLiteral("--no-children"), QStringLiteral("--sort=dso")}}) {
        ChildProcess report(perf_, QStringList{QStringLiteral("report"), QStringLiteral("-i"), file_,
                                               QStringLiteral("--stdio"), QStringLiteral("--percent-limit=0.25")}
                                       + view + none);
        while (const std::optional<QString> line = report.readLine(60s))
            std::fprintf(stderr, "perf: %s\n", qPrintable(*line));
    }
}

SyscallCount::SyscallCount(const QString& strace, const QString& side, pid_t pid)
    : side_(side), file_(QStringLiteral("/tmp/velmor-syscalls-%1").arg(side))
{
    if (strace.isEmpty())
        return;
    tracer_.emplace(strace, QStringList{QStringLiteral("-c"), QStringLiteral("-f"), QStringLiteral("-o"), file_,
                                        QStringLiteral("-p"), QString::number(pid)});
    sleepNs(1000 * msNs); // strace attaches
}

SyscallCount::~SyscallCount()
{
    if (!tracer_)
        return;
    ::kill(tracer_->pid(), SIGINT);
    tracer_->finish(std::chrono::seconds(60));
    QFile table(file_);
    if (!table.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray& line : table.readAll().split('\n'))
        std::fprintf(stderr, "syscalls %s: %s\n", qPrintable(side_), line.constData());
}

} // namespace velmor::bench
