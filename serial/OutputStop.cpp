#include "serial/OutputStop.h"

#include <atomic>

namespace {
std::atomic<bool> outputStopped{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
} // namespace

void StopSerialOutput() {
    outputStopped.store(true);
}

bool SerialOutputStopped() {
    return outputStopped.load();
}
