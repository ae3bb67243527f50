#include "serial/Ticks.h"

#include <chrono>

int64_t serialticks::MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
