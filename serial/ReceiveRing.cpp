#include "serial/ReceiveRing.h"

#include <algorithm>
#include <cstring>

std::size_t TReceiveRing::size() const {
    if (full_)
        return Capacity;
    return (writePos_ + Capacity - readPos_) % Capacity;
}

uint8_t* TReceiveRing::writeRegion(std::size_t& length) {
    if (full_)
        length = 0;
    else if (writePos_ >= readPos_)
        length = Capacity - writePos_;
    else
        length = readPos_ - writePos_;
    return data_.data() + writePos_;
}

void TReceiveRing::commit(std::size_t length) {
    if (length == 0)
        return;
    writePos_ = (writePos_ + length) % Capacity;
    full_ = writePos_ == readPos_;
}

std::size_t TReceiveRing::take(uint8_t* dst, std::size_t max) {
    std::size_t taken = 0;
    while (taken < max && !empty()) {
        const std::size_t end = (writePos_ > readPos_) ? writePos_ : Capacity;
        const std::size_t chunk = std::min(max - taken, end - readPos_);
        std::memcpy(dst + taken, data_.data() + readPos_, chunk);
        readPos_ = (readPos_ + chunk) % Capacity;
        full_ = false;
        taken += chunk;
    }
    return taken;
}

void TReceiveRing::clear() {
    readPos_ = writePos_ = 0;
    full_ = false;
}
