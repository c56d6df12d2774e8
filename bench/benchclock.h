/* The clock of the benchmarks: the performance counter, read in
 * milliseconds or seconds since an arbitrary start. */
#ifndef VQ_BENCH_BENCHCLOCK_H
#define VQ_BENCH_BENCHCLOCK_H

#include <windows.h>

static inline double BenchNowMs(void)
{
    static LARGE_INTEGER freq;
    if (!freq.QuadPart)
        QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)freq.QuadPart;
}

static inline double BenchNowSeconds(void)
{
    return BenchNowMs() / 1000.0;
}

#endif
