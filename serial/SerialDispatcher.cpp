#include "serial/SerialDispatcher.h"

#include "serial/DataPacketManager.h"
#include "serial/OutputStop.h"
#include "serial/PosixSerialDevice.h"
#include "serial/Ticks.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

TSerialDispatcher::TSerialDispatcher(TDataPacketManager& manager, QObject* parent)
    : QObject(parent), manager_(manager), read_(new QSocketNotifier(QSocketNotifier::Read, this)),
      write_(new QSocketNotifier(QSocketNotifier::Write, this)) {
    read_->setEnabled(false);
    write_->setEnabled(false);
    connect(read_, &QSocketNotifier::activated, this, &TSerialDispatcher::ReadReady);
    connect(write_, &QSocketNotifier::activated, this, &TSerialDispatcher::WriteReady);
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TSerialDispatcher::TimerExpired);
}

TSerialDispatcher::~TSerialDispatcher() {
    Stop();
}

void TSerialDispatcher::Start(int fd, const TDeviceRestore& restore, std::size_t outCapacity) {
    fd_ = fd;
    restore_ = restore;
    outCapacity_ = outCapacity;
    pending_.clear();
    pending_.reserve(outCapacity);
    read_->setSocket(fd);
    write_->setSocket(fd);
    read_->setEnabled(true);
    ScheduleTimer();
}

void TSerialDispatcher::Stop() {
    if (fd_ < 0)
        return;
    read_->setEnabled(false);
    write_->setEnabled(false);
    read_->setSocket(-1);
    write_->setSocket(-1);
    timer_.stop();
    pending_.clear();
    CloseSerialDevice(fd_, restore_);
    fd_ = -1;
}

bool TSerialDispatcher::HungUp() const {
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

bool TSerialDispatcher::LostAfter(int error) const {
    return error == EIO || error == ENXIO || error == ENODEV || HungUp();
}

void TSerialDispatcher::LineLost() {
    Stop(); // no notifier may fire on the dead descriptor any more
    if (OnHangUp)
        OnHangUp();
}

template <class Step> void TSerialDispatcher::Deliver(Step step) {
    ++handlerDepth_;
    step(); // may run a handler, which may close or reopen the port
    --handlerDepth_;
    if (fd_ >= 0 && handlerDepth_ == 0 && !read_->isEnabled())
        read_->setEnabled(true);
    ScheduleTimer();
}

void TSerialDispatcher::ReadReady() {
    if (handlerDepth_ > 0) {
        // A handler's dialog runs a nested event loop: the bytes wait in the driver until the
        // handler has returned. Switching the notifier off only now keeps it registered
        // throughout the common case of a handler without a dialog.
        read_->setEnabled(false);
        return;
    }
    uint8_t chunk[4096];
    const ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n > 0) {
        Deliver([&] { manager_.Receive(chunk, std::size_t(n)); });
        return;
    }
    // Nothing there is no hang-up by itself: FlushInBuffer may have emptied the queue
    // between the notification and the read.
    const int error = n < 0 ? errno : 0;
    if (error == EINTR || error == EAGAIN)
        return;
    if (LostAfter(error))
        LineLost();
}

void TSerialDispatcher::TimerExpired() {
    if (fd_ >= 0)
        Deliver([&] { manager_.CheckTimers(); });
}

void TSerialDispatcher::ScheduleTimer() {
    if (handlerDepth_ > 0)
        return; // settled once the handler has returned
    const int64_t due = fd_ >= 0 ? manager_.TimerDueMs() : -1;
    if (due < 0) {
        timer_.stop();
        return;
    }
    // Each acknowledged byte re-arms the collector for a later time-out. A timer that would
    // fire sooner is left running: it finds nothing due and is set again for the rest.
    if (timer_.isActive() && due >= scheduledDue_)
        return;
    scheduledDue_ = due;
    const int64_t wait = std::max<int64_t>(0, due - serialticks::MonotonicMs());
    timer_.start(int(std::min<int64_t>(wait, INT32_MAX)));
}

TSerialDispatcher::TSendResult TSerialDispatcher::Send(const uint8_t* bytes, std::size_t count) {
    if (SerialOutputStopped())
        return TSendResult::Sent; // the program is ending: the exchange is being wound down
    if (pending_.size() + count > outCapacity_)
        return TSendResult::NoRoom;
    if (!pending_.empty()) { // keep the order behind the rest still waiting
        pending_.insert(pending_.end(), bytes, bytes + count);
        return TSendResult::Sent;
    }
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, bytes + done, count - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        if (LostAfter(n < 0 ? errno : 0)) {
            LineLost();
            return TSendResult::Sent;
        }
        return TSendResult::Failed;
    }
    if (done < count) {
        pending_.assign(bytes + done, bytes + count);
        write_->setEnabled(true);
    }
    return TSendResult::Sent;
}

void TSerialDispatcher::WriteReady() {
    if (SerialOutputStopped())
        pending_.clear();
    if (pending_.empty()) {
        write_->setEnabled(false);
        return;
    }
    const ssize_t n = ::write(fd_, pending_.data(), pending_.size());
    if (n > 0)
        pending_.erase(pending_.begin(), pending_.begin() + n);
    else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        const int error = errno;
        pending_.clear();
        write_->setEnabled(false);
        if (LostAfter(error))
            LineLost();
        else if (OnWriteFailed)
            OnWriteFailed();
        return;
    }
    if (pending_.empty())
        write_->setEnabled(false);
}

void TSerialDispatcher::FlushIn() {
    tcflush(fd_, TCIFLUSH);
}

void TSerialDispatcher::FlushOut() {
    pending_.clear();
    write_->setEnabled(false);
    tcflush(fd_, TCOFLUSH);
}
