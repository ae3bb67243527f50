#include "link/RawSerialPort.h"

#include "serial/OutputStop.h"
#include "serial/PosixSerialDevice.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <unistd.h>

struct TRawSerialPort::Platform {
    int fd = -1;
    TDeviceRestore restore; // put back on closing
};

namespace {

using Clock = std::chrono::steady_clock;

int msUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return static_cast<int>((left + 999) / 1000); // never wake before the deadline
}

} // namespace

TRawSerialPort::TRawSerialPort() : platform_(std::make_unique<Platform>()) {}

TRawSerialPort::~TRawSerialPort() {
    Close();
}

bool TRawSerialPort::IsOpen() const {
    return platform_->fd >= 0;
}

bool TRawSerialPort::OpenDevice(const std::string& path, const TLineSettings& line) {
    // Exclusive, raw, binary. The device stays non-blocking: the waits below are done with
    // poll(), which gives the loader's time-outs exactly. The platform has no driver queue
    // sizes to request; its own queues are larger than the loader's 1024 bytes.
    const TOpenResult opened = OpenSerialDevice(path, line);
    if (opened.fd < 0)
        return false;
    platform_->fd = opened.fd;
    platform_->restore = opened.restore;
    return true;
}

void TRawSerialPort::SetTimeouts(int ms) {
    timeoutMs_ = ms < 0 ? 0 : ms;
}

void TRawSerialPort::Close() {
    if (platform_->fd < 0)
        return;
    CloseSerialDevice(platform_->fd, platform_->restore);
    platform_->fd = -1;
}

bool TRawSerialPort::Write(const std::uint8_t* data, std::size_t count) {
    if (platform_->fd < 0 || SerialOutputStopped())
        return false;
    // A device that stops reading fills the driver's queue: the write then gives up as a read
    // does, after the time-out without a byte taken.
    const auto step = std::chrono::milliseconds(timeoutMs_);
    const Clock::time_point total = Clock::now() + step * static_cast<long>(count + 1);
    Clock::time_point interval = Clock::now() + step;
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(platform_->fd, data + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            interval = Clock::now() + step;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return lineDown();
        const int wait = msUntil(std::min(total, interval));
        if (wait == 0)
            return false;
        pollfd pfd{platform_->fd, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, wait);
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return lineDown();
    }
    return true;
}

bool TRawSerialPort::Read(std::uint8_t* buffer, std::size_t count) {
    if (platform_->fd < 0)
        return false;
    const auto step = std::chrono::milliseconds(timeoutMs_);
    const Clock::time_point total = Clock::now() + step * static_cast<long>(count + 1);
    std::size_t got = 0;
    Clock::time_point interval = total; // no limit between bytes before the first one
    while (got < count) {
        const ssize_t n = ::read(platform_->fd, buffer + got, count - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            interval = Clock::now() + step;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return lineDown(); // EIO, ENXIO: the device went away
        const Clock::time_point deadline = std::min(total, interval);
        const int wait = msUntil(deadline);
        if (wait == 0)
            return false;
        pollfd pfd{platform_->fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, wait);
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready > 0 && (pfd.revents & (POLLERR | POLLNVAL)))
            return lineDown();
        if (ready > 0 && (pfd.revents & POLLHUP) && !(pfd.revents & POLLIN))
            return lineDown();
    }
    return true;
}
