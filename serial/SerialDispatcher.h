#pragma once

#include "serial/PosixSerialDevice.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <vector>

class QSocketNotifier;
class TDataPacketManager;

// Drives an open port on the event loop of the thread it lives in, the user-interface thread:
// - a read notifier hands received bytes straight to the packet manager, whose handlers run
//   right there;
// - a write goes out at once with a non-blocking write(); only a rest that the driver did
//   not take waits for the write notifier;
// - one precise timer runs only while a collector waits with a time-out.
// While a handler runs no bytes are read: a dialog's nested event loop finds the read
// notifier off, and the bytes wait in the driver's queue until the handler has returned.
class TSerialDispatcher : public QObject {
public:
    TSerialDispatcher(TDataPacketManager& manager, QObject* parent);
    ~TSerialDispatcher() override; // closes the device

    // Takes an open, non-blocking descriptor and what closing it puts back; the output queue
    // holds `outCapacity` bytes.
    void Start(int fd, const TDeviceRestore& restore, std::size_t outCapacity);
    void Stop(); // drops both queues and closes the device
    bool Running() const { return fd_ >= 0; }

    enum class TSendResult { Sent, NoRoom, Failed };
    // NoRoom: the output queue lacks room for the whole block, nothing is sent. A device that
    // vanished counts as sent: OnHangUp has closed the port by the time this returns.
    TSendResult Send(const uint8_t* bytes, std::size_t count);
    void FlushIn();
    void FlushOut();

    // Follows the manager's timer; the manager calls it whenever a collector is armed or
    // stops collecting.
    void ScheduleTimer();

    // The device vanished (it hung up, or the driver answers EIO or ENXIO). Called once, on
    // this thread; the owner closes the port.
    std::function<void()> OnHangUp;
    // The rest of a block could not be sent later on, for another reason.
    std::function<void()> OnWriteFailed;

private:
    void ReadReady();
    void WriteReady();
    void TimerExpired();
    bool HungUp() const; // poll() reports POLLHUP or POLLERR
    bool LostAfter(int error) const;
    void LineLost();
    template <class Step> void Deliver(Step step);

    TDataPacketManager& manager_;
    int fd_ = -1;
    TDeviceRestore restore_;
    QSocketNotifier* read_;
    QSocketNotifier* write_;
    QTimer timer_;
    int64_t scheduledDue_ = 0;     // when timer_ fires, while it runs
    std::vector<uint8_t> pending_; // what the driver has not taken yet
    std::size_t outCapacity_ = 0;
    int handlerDepth_ = 0; // > 0 while a collector's handler runs
};
