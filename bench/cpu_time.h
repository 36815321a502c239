// Processor time of the calling thread in seconds, for ratio rows that compare a run
// with its peer's in the same process.
#pragma once

#include <ctime>

inline double thread_cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
