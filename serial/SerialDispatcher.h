#pragma once

#include "serial/SerialDevice.h"
#include "serial/SerialTypes.h"

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TDataPacketManager;

// Drives an open port on the event loop of the thread it lives in, the user-interface thread:
// - received bytes go straight to the packet manager, whose handlers run right there;
// - a write goes out at once without waiting for the line; what the driver has not taken
//   yet waits in the output queue, in order;
// - one precise timer runs only while a collector waits with a time-out.
// While a handler runs no bytes are read: a dialog's nested event loop finds reading paused,
// and the bytes wait in the driver's queue until the handler has returned.
// How the device is watched is the platform's: notifiers on a non-blocking descriptor
// (SerialDispatcherPosix.cpp), overlapped reads and writes whose events a QWinEventNotifier
// watches (SerialDispatcherWin32.cpp).
class TSerialDispatcher : public QObject {
public:
    TSerialDispatcher(TDataPacketManager& manager, QObject* parent);
    ~TSerialDispatcher() override; // closes the device

    // Opens the device at `path` exclusively with the line settings, asks its driver for
    // queues of `inSize` and `outSize` bytes where the platform has them, and drives it; the
    // output queue holds `outSize` bytes. Failure None when it runs.
    TOpenOutcome Start(const std::string& path, const TLineSettings& line, std::size_t inSize,
                       std::size_t outSize);
    void Stop(); // drops both queues, puts back what the opening changed, closes the device
    bool Running() const;

    enum class TSendResult { Sent, NoRoom, Failed };
    // NoRoom: the output queue lacks room for the whole block, nothing is sent. A device that
    // vanished counts as sent: OnHangUp has closed the port by the time this returns.
    TSendResult Send(const uint8_t* bytes, std::size_t count);
    void FlushIn();
    void FlushOut();

    // Follows the manager's timer; the manager calls it whenever a collector is armed or
    // stops collecting.
    void ScheduleTimer();

    // The device vanished (it hung up, the adapter was pulled, the driver fails every read).
    // Called once, on this thread; the owner closes the port.
    std::function<void()> OnHangUp;
    // The rest of a block could not be sent later on, for another reason.
    std::function<void()> OnWriteFailed;

private:
    struct Platform; // the device and how it is watched
    struct PlatformDeleter {
        void operator()(Platform* platform) const;
    };
    using PlatformPtr = std::unique_ptr<Platform, PlatformDeleter>;
    static PlatformPtr NewPlatform(TSerialDispatcher& owner);

    void ReadReady();
    void WriteReady();
    void ResumeReading(); // after the last handler has returned
    void DeliverBytes(const uint8_t* bytes, std::size_t count);
    void TimerExpired();
    void LineLost();
    template <class Step> void Deliver(Step step);

    TDataPacketManager& manager_;
    PlatformPtr platform_;
    QTimer timer_;
    int64_t scheduledDue_ = 0; // when timer_ fires, while it runs
    int handlerDepth_ = 0;     // > 0 while a collector's handler runs
};
