#pragma once

#include <ctime>

// CPU time the calling thread has used, in milliseconds: what a benchmark
// charges to the thread it measures, whatever else the machine runs.
inline double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}
