#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The port's receive ring of 8192 bytes. Not locked: the dispatcher guards it.
class TReceiveRing {
public:
    static constexpr std::size_t Capacity = 8192;

    bool empty() const { return !full_ && readPos_ == writePos_; }
    bool full() const { return full_; }
    std::size_t size() const;

    // The contiguous free region at the write position; commit() what was written there.
    uint8_t* writeRegion(std::size_t& length);
    void commit(std::size_t length);

    // Takes up to `max` bytes in order; returns how many.
    std::size_t take(uint8_t* dst, std::size_t max);
    void clear();

private:
    std::array<uint8_t, Capacity> data_{};
    std::size_t readPos_ = 0;
    std::size_t writePos_ = 0;
    bool full_ = false;
};
