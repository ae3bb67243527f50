#include "serial/SerialDispatcher.h"

#include "serial/DataPacket.h"
#include "serial/DataPacketManager.h"
#include "serial/PosixSerialDevice.h"
#include "serial/SerialError.h"
#include "serial/SerialEventPump.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

TSerialDispatcher::TSerialDispatcher(int fd, std::size_t outSize, int comNumber,
                                     TDataPacketManager& manager, TSerialEventPump& pump)
    : fd_(fd), comNumber_(comNumber), manager_(manager), pump_(pump), outCapacity_(outSize) {
    outQueue_.reserve(outSize);
}

TSerialDispatcher::~TSerialDispatcher() {
    Stop();
    if (stopFd_ >= 0)
        close(stopFd_);
    CloseSerialDevice(fd_);
}

void TSerialDispatcher::Start() {
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");
    comThread_ = std::thread(&TSerialDispatcher::ComThreadLoop, this);
    dispThread_ = std::thread(&TSerialDispatcher::DispThreadLoop, this);
    outThread_ = std::thread(&TSerialDispatcher::OutThreadLoop, this);
}

void TSerialDispatcher::Stop() {
    {
        std::scoped_lock lock(ringMutex_, outMutex_);
        stopping_ = true;
    }
    if (stopFd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(stopFd_, &one, sizeof one);
    }
    ringData_.notify_all();
    ringSpace_.notify_all();
    outReady_.notify_all();
    {
        std::lock_guard lock(callMutex_);
        if (currentCall_)
            currentCall_->Release();
    }
    for (std::thread* t : {&comThread_, &dispThread_, &outThread_})
        if (t->joinable())
            t->join();
}

bool TSerialDispatcher::Enqueue(const uint8_t* bytes, std::size_t count) {
    {
        std::lock_guard lock(outMutex_);
        if (outQueue_.size() + count > outCapacity_)
            return false;
        outQueue_.insert(outQueue_.end(), bytes, bytes + count);
    }
    outReady_.notify_one();
    return true;
}

void TSerialDispatcher::FlushIn() {
    std::lock_guard lock(ringMutex_);
    tcflush(fd_, TCIFLUSH);
    ring_.clear();
    ringSpace_.notify_all();
}

void TSerialDispatcher::FlushOut() {
    std::lock_guard lock(outMutex_);
    outQueue_.clear();
    tcflush(fd_, TCOFLUSH);
}

void TSerialDispatcher::ComThreadLoop() {
    bool deviceGone = false;
    while (!stopping_) {
        {
            std::unique_lock lock(ringMutex_);
            ringSpace_.wait(lock, [&] { return stopping_ || !ring_.full(); });
            if (stopping_)
                break;
        }
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {fd_, POLLIN, 0}};
        // A device that went away is no longer polled: that would spin.
        const int rc = poll(fds, deviceGone ? 1 : 2, -1);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents)
            break;
        if (deviceGone || fds[1].revents == 0)
            continue;
        if (fds[1].revents & POLLNVAL) {
            deviceGone = true;
            continue;
        }
        std::size_t got = 0;
        {
            std::lock_guard lock(ringMutex_);
            std::size_t room = 0;
            uint8_t* region = ring_.writeRegion(room);
            if (room == 0)
                continue;
            const ssize_t n = read(fd_, region, room);
            if (n > 0) {
                ring_.commit(std::size_t(n));
                got = std::size_t(n);
            } else if (n == 0) {
                deviceGone = true; // zero bytes after POLLIN: hung up
            } else if (errno != EAGAIN && errno != EINTR) {
                deviceGone = true; // EIO: the device disappeared
            } else if (fds[1].revents & (POLLHUP | POLLERR)) {
                deviceGone = true;
            }
        }
        if (got)
            ringData_.notify_one();
    }
}

void TSerialDispatcher::DispThreadLoop() {
    std::vector<uint8_t> chunk(TReceiveRing::Capacity);
    while (!stopping_) {
        std::size_t count = 0;
        {
            std::unique_lock lock(ringMutex_);
            // timers are checked at least every 50 ms
            ringData_.wait_for(lock, std::chrono::milliseconds(50),
                               [&] { return stopping_ || !ring_.empty(); });
            if (stopping_)
                break;
            const bool wasFull = ring_.full();
            count = ring_.take(chunk.data(), chunk.size());
            if (wasFull && count)
                ringSpace_.notify_all();
        }
        if (count)
            manager_.Receive(chunk.data(), count);
        manager_.CheckTimers();
    }
}

void TSerialDispatcher::OutThreadLoop() {
    std::unique_lock lock(outMutex_);
    while (!stopping_) {
        outReady_.wait(lock, [&] { return stopping_ || !outQueue_.empty(); });
        if (stopping_)
            break;
        // Non-blocking write under the lock, so FlushOutBuffer drops exactly the unsent bytes.
        const ssize_t n = write(fd_, outQueue_.data(), outQueue_.size());
        if (n > 0) {
            outQueue_.erase(outQueue_.begin(), outQueue_.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            outQueue_.clear();
            ReportWriteFailure();
            continue;
        }
        lock.unlock();
        pollfd fds[2] = {{stopFd_, POLLIN, 0}, {fd_, POLLOUT, 0}};
        poll(fds, 2, 50);
        lock.lock();
    }
}

void TSerialDispatcher::ReportWriteFailure() {
    if (writeFailureReported_)
        return; // once per opening
    writeFailureReported_ = true;
    const QString text =
        QStringLiteral("Die Daten konnten nicht über COM%1 gesendet werden.").arg(comNumber_);
    pump_.PostError(text);
}

bool TSerialDispatcher::RunEvent(TDataPacket* sender, bool packet, const uint8_t* data, int size) {
    auto call = std::make_shared<TSerialEventCall>();
    call->sender = sender;
    call->packet = packet;
    call->data.assign(data, data + size);
    {
        std::lock_guard lock(callMutex_);
        if (stopping_)
            return false;
        currentCall_ = call;
    }
    pump_.PostEvent(call);

    bool started = false;
    {
        std::unique_lock lock(call->mutex);
        call->changed.wait(lock,
                           [&] { return call->state == TSerialEventCall::Done || call->released; });
        started = call->state != TSerialEventCall::Pending;
    }
    std::lock_guard lock(callMutex_);
    currentCall_.reset();
    return started;
}

void TSerialDispatcher::CancelPendingEvent() {
    std::lock_guard lock(callMutex_);
    if (!currentCall_)
        return;
    std::lock_guard callLock(currentCall_->mutex);
    if (currentCall_->state == TSerialEventCall::Pending) {
        currentCall_->released = true;
        currentCall_->changed.notify_all();
    }
}
