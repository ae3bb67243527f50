#include "serial/SerialDispatcher.h"

#include "serial/DataPacketManager.h"
#include "serial/OutputStop.h"
#include "serial/PosixSerialDevice.h"

#include <QSocketNotifier>
#include <cerrno>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

// A read notifier hands received bytes on; a write goes out with a non-blocking write(), and
// only a rest that the driver did not take waits for the write notifier.
struct TSerialDispatcher::Platform {
    int fd = -1;
    TDeviceRestore restore;
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;
    std::vector<uint8_t> pending; // what the driver has not taken yet
    std::size_t outCapacity = 0;
};

namespace {

// poll() reports POLLHUP or POLLERR
bool descriptorHungUp(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

bool lostAfter(int fd, int error) {
    return error == EIO || error == ENXIO || error == ENODEV || descriptorHungUp(fd);
}

} // namespace

void TSerialDispatcher::PlatformDeleter::operator()(Platform* platform) const {
    delete platform;
}

TSerialDispatcher::PlatformPtr TSerialDispatcher::NewPlatform(TSerialDispatcher& owner) {
    PlatformPtr p(new Platform);
    p->read = new QSocketNotifier(QSocketNotifier::Read, &owner);
    p->write = new QSocketNotifier(QSocketNotifier::Write, &owner);
    p->read->setEnabled(false);
    p->write->setEnabled(false);
    connect(p->read, &QSocketNotifier::activated, &owner, &TSerialDispatcher::ReadReady);
    connect(p->write, &QSocketNotifier::activated, &owner, &TSerialDispatcher::WriteReady);
    return p;
}

TSerialDispatcher::~TSerialDispatcher() {
    Stop();
}

bool TSerialDispatcher::Running() const {
    return platform_->fd >= 0;
}

TOpenOutcome TSerialDispatcher::Start(const std::string& path, const TLineSettings& line,
                                      std::size_t, std::size_t outSize) {
    // The platform has no driver queue sizes to request; its own queues are large enough.
    const TOpenResult opened = OpenSerialDevice(path, line);
    if (opened.fd < 0)
        return {opened.failure, opened.error};
    Platform& p = *platform_;
    p.fd = opened.fd;
    p.restore = opened.restore;
    p.outCapacity = outSize;
    p.pending.clear();
    p.pending.reserve(outSize);
    p.read->setSocket(p.fd);
    p.write->setSocket(p.fd);
    p.read->setEnabled(true);
    ScheduleTimer();
    return {};
}

void TSerialDispatcher::Stop() {
    Platform& p = *platform_;
    if (p.fd < 0)
        return;
    p.read->setEnabled(false);
    p.write->setEnabled(false);
    p.read->setSocket(-1);
    p.write->setSocket(-1);
    timer_.stop();
    p.pending.clear();
    CloseSerialDevice(p.fd, p.restore);
    p.fd = -1;
}

void TSerialDispatcher::ResumeReading() {
    if (!platform_->read->isEnabled())
        platform_->read->setEnabled(true);
}

void TSerialDispatcher::ReadReady() {
    Platform& p = *platform_;
    if (handlerDepth_ > 0) {
        // A handler's dialog runs a nested event loop: the bytes wait in the driver until the
        // handler has returned. Switching the notifier off only now keeps it registered
        // throughout the common case of a handler without a dialog.
        p.read->setEnabled(false);
        return;
    }
    uint8_t chunk[4096];
    const ssize_t n = ::read(p.fd, chunk, sizeof chunk);
    if (n > 0) {
        DeliverBytes(chunk, std::size_t(n));
        return;
    }
    // Nothing there is no hang-up by itself: FlushInBuffer may have emptied the queue
    // between the notification and the read.
    const int error = n < 0 ? errno : 0;
    if (error == EINTR || error == EAGAIN)
        return;
    if (lostAfter(p.fd, error))
        LineLost();
}

TSerialDispatcher::TSendResult TSerialDispatcher::Send(const uint8_t* bytes, std::size_t count) {
    Platform& p = *platform_;
    if (SerialOutputStopped())
        return TSendResult::Sent; // the program is ending: the exchange is being wound down
    if (p.pending.size() + count > p.outCapacity)
        return TSendResult::NoRoom;
    if (!p.pending.empty()) { // keep the order behind the rest still waiting
        p.pending.insert(p.pending.end(), bytes, bytes + count);
        return TSendResult::Sent;
    }
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(p.fd, bytes + done, count - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            break;
        if (lostAfter(p.fd, n < 0 ? errno : 0)) {
            LineLost();
            return TSendResult::Sent;
        }
        return TSendResult::Failed;
    }
    if (done < count) {
        p.pending.assign(bytes + done, bytes + count);
        p.write->setEnabled(true);
    }
    return TSendResult::Sent;
}

void TSerialDispatcher::WriteReady() {
    Platform& p = *platform_;
    if (SerialOutputStopped())
        p.pending.clear();
    if (p.pending.empty()) {
        p.write->setEnabled(false);
        return;
    }
    const ssize_t n = ::write(p.fd, p.pending.data(), p.pending.size());
    if (n > 0)
        p.pending.erase(p.pending.begin(), p.pending.begin() + n);
    else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        const int error = errno;
        p.pending.clear();
        p.write->setEnabled(false);
        if (lostAfter(p.fd, error))
            LineLost();
        else if (OnWriteFailed)
            OnWriteFailed();
        return;
    }
    if (p.pending.empty())
        p.write->setEnabled(false);
}

void TSerialDispatcher::FlushIn() {
    tcflush(platform_->fd, TCIFLUSH);
}

void TSerialDispatcher::FlushOut() {
    platform_->pending.clear();
    platform_->write->setEnabled(false);
    tcflush(platform_->fd, TCOFLUSH);
}
