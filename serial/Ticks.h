#pragma once

#include <algorithm>
#include <cstdint>

// The packet collector measures time in ticks of 55 ms of a monotonic millisecond clock.
namespace serialticks {

constexpr int64_t TickMs = 55;
// 2^31 ms in ticks: longer time-outs are cut to this.
constexpr int64_t MaxTicks = 39045157;

inline int64_t TickOf(int64_t ms) {
    // floor division, so a clock value below zero (a test clock) still counts correctly
    return ms >= 0 ? ms / TickMs : -((-ms + TickMs - 1) / TickMs);
}

// A timer of `ticks` started at `startMs` expires at this tick and has fired once the
// current tick is greater: between ticks * 55 and (ticks + 1) * 55 ms after its start.
inline int64_t ExpiryTick(int64_t startMs, int64_t ticks) {
    return TickOf(startMs) + std::min<int64_t>(ticks, MaxTicks);
}

inline bool TimerFired(int64_t nowMs, int64_t expiryTick) {
    return TickOf(nowMs) > expiryTick;
}

// Milliseconds of the steady clock (64 bits: no wrap-around in practice).
int64_t MonotonicMs();

} // namespace serialticks
