#pragma once

#include <chrono>
#include <time.h>

// The CPU time this process has used so far, all its threads together: a loop that spins
// shows up here, a thread that sleeps does not.
inline std::chrono::milliseconds processCpuTime() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 std::chrono::nanoseconds(ts.tv_nsec));
}
