#pragma once

#include "link/LinkProtocol.h"
#include "serial/Ticks.h"

#include <chrono>

// A collector time-out in ticks of 55 ms, typed so that it cannot be mistaken for a size.
struct Ticks {
    int count;

    // The time-out fires no sooner than this after it was armed ...
    constexpr std::chrono::milliseconds duration() const {
        return std::chrono::milliseconds(count * serialticks::TickMs);
    }
    // ... and within one more tick.
    constexpr std::chrono::milliseconds latestFiring() const {
        return duration() + std::chrono::milliseconds(serialticks::TickMs);
    }
};

constexpr Ticks NoTimeOut{0};
constexpr Ticks OneTick{1};
constexpr Ticks AckWait{LinkProtocol::AckTicks};
constexpr Ticks LineWait{LinkProtocol::LineTicks};
constexpr Ticks BlockWait{LinkProtocol::BlockTicks};
constexpr Ticks LongWait{LinkProtocol::ChecksumAckTicks}; // long enough for any test's reply

// A time within an ACK's wait, and one between two bytes that keep a collector busy.
constexpr std::chrono::milliseconds WithinAckWait{300};
constexpr std::chrono::milliseconds ShorterThanATick{40};
