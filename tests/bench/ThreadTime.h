#pragma once

// Header-only: what the benchmarks that drive windows on the real event loop measure.

#include <QList>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace velmor::bench {

// The calling thread's CPU time, in ms.
inline double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The median of the runs, which are printed on stderr first.
inline double median(QList<double> values)
{
    for (const double value : values)
        std::fprintf(stderr, "%.2f ", value);
    std::fprintf(stderr, "\n");
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

} // namespace velmor::bench
