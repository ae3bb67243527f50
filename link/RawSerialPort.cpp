#include "link/RawSerialPort.h"

#include "serial/ComPortMap.h"
#include "serial/OutputStop.h"
#include "serial/PosixSerialDevice.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <unistd.h>

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

TRawSerialPort::~TRawSerialPort() {
    Close();
}

int TRawSerialPort::ComNumberOf(const QString& portName) {
    if (!portName.startsWith(QLatin1String("COM")))
        return 0;
    bool ok = false;
    const int number = portName.mid(3).toInt(&ok, 10);
    return ok && number > 0 ? number : 0;
}

bool TRawSerialPort::Open(const QString& portName, int baud, int timeoutMs) {
    Close();
    const TComDevice device = ComDeviceOf(ComNumberOf(portName), TMapRead::Fresh);
    if (!device.mapped)
        return false;
    TLineSettings line;
    line.baud = baud;
    line.parity = pNone;
    line.dataBits = 8;
    line.stopBits = 1;
    line.hwFlow = 0;
    line.swFlow = swfNone;
    line.dtr = false;
    line.rts = false;
    // Exclusive, raw, binary. The device stays non-blocking: the waits below are done with
    // poll(), which gives the loader's time-outs exactly. The platform has no driver queue
    // sizes to request; its own queues are larger than the loader's 1024 bytes.
    const TOpenResult opened = OpenSerialDevice(device.path, line);
    if (opened.fd < 0)
        return false;
    fd_ = opened.fd;
    restore_ = opened.restore;
    lost_ = false;
    SetTimeouts(timeoutMs);
    return true;
}

void TRawSerialPort::SetTimeouts(int ms) {
    timeoutMs_ = ms < 0 ? 0 : ms;
}

void TRawSerialPort::Close() {
    if (fd_ < 0)
        return;
    CloseSerialDevice(fd_, restore_);
    fd_ = -1;
}

bool TRawSerialPort::Write(const std::uint8_t* data, std::size_t count) {
    if (fd_ < 0 || SerialOutputStopped())
        return false;
    // A device that stops reading fills the driver's queue: the write then gives up as a read
    // does, after the time-out without a byte taken.
    const auto step = std::chrono::milliseconds(timeoutMs_);
    const Clock::time_point total = Clock::now() + step * static_cast<long>(count + 1);
    Clock::time_point interval = Clock::now() + step;
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, data + done, count - done);
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
        pollfd pfd{fd_, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, wait);
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return lineDown();
    }
    return true;
}

bool TRawSerialPort::lineDown() {
    lost_ = true;
    return false;
}

bool TRawSerialPort::Read(std::uint8_t* buffer, std::size_t count) {
    if (fd_ < 0)
        return false;
    const auto step = std::chrono::milliseconds(timeoutMs_);
    const Clock::time_point total = Clock::now() + step * static_cast<long>(count + 1);
    std::size_t got = 0;
    Clock::time_point interval = total; // no limit between bytes before the first one
    while (got < count) {
        const ssize_t n = ::read(fd_, buffer + got, count - got);
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
        pollfd pfd{fd_, POLLIN, 0};
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
