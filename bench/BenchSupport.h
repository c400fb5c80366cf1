#pragma once

#include <QList>
#include <QString>

#include <algorithm>
#include <ctime>
#include <sys/resource.h>

// Small helpers shared by the benchmarks.
namespace Bench {

inline qint64 monotonicNs()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// CPU seconds (user and system) this process has used.
inline double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The q-quantile (0..1) of the values, or 0 for none.
inline double quantile(QList<double> values, double q)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype i = std::min<qsizetype>(values.size() - 1, qsizetype(q * (values.size() - 1) + 0.5));
    return values.at(i);
}

} // namespace Bench
