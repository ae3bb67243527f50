#pragma once

#include <chrono>
#include <time.h>

// This process's CPU time, all threads: a spinning loop shows here, a sleeping thread does not.
inline std::chrono::milliseconds processCpuTime() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 std::chrono::nanoseconds(ts.tv_nsec));
}
