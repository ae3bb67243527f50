#pragma once

#include "serial/ReceiveRing.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TDataPacket;
class TDataPacketManager;
class TSerialEventPump;
struct TSerialEventCall;

// The threads of an open port, created by opening and destroyed by closing:
// - TComThread waits in poll() on the device and a wake-up descriptor and reads every byte
//   into the receive ring at once (the ring's lock makes FlushInBuffer exact);
// - TDispThread hands the received bytes to the packet manager, checks its timer at least
//   every 50 ms, and runs events on the user-interface thread, waiting for them to return;
// - TOutThread writes the output queue to the device.
// Three locks: the ring's, the output queue's, and the one of the event being run (the
// manager keeps its own for timers and collectors).
class TSerialDispatcher {
public:
    // Takes the descriptor; `pump` runs the events on the user-interface thread.
    TSerialDispatcher(int fd, std::size_t outSize, int comNumber, TDataPacketManager& manager,
                      TSerialEventPump& pump);
    ~TSerialDispatcher(); // Stop(), then closes the device
    TSerialDispatcher(const TSerialDispatcher&) = delete;
    TSerialDispatcher& operator=(const TSerialDispatcher&) = delete;

    void Start(); // throws std::system_error when a thread cannot start
    // Wakes and joins the threads; an event waiting for the user-interface thread is given up.
    void Stop();

    bool Enqueue(const uint8_t* bytes, std::size_t count); // false: no room for all of them
    void FlushIn();
    void FlushOut();

    // The manager's event runner (called on TDispThread).
    bool RunEvent(TDataPacket* sender, bool packet, const uint8_t* data, int size);
    // The collector of the event goes away: an event that has not begun never will.
    void CancelPendingEvent();

private:
    void ComThreadLoop();
    void DispThreadLoop();
    void OutThreadLoop();
    void ReportWriteFailure();

    const int fd_;
    const int comNumber_;
    int stopFd_ = -1; // eventfd: readable once stopping
    TDataPacketManager& manager_;
    TSerialEventPump& pump_; // outlives the dispatcher
    std::atomic<bool> stopping_{false};

    std::mutex ringMutex_;
    std::condition_variable ringData_;  // TDispThread: bytes arrived or stopping
    std::condition_variable ringSpace_; // TComThread: the full ring has room again
    TReceiveRing ring_;

    std::mutex outMutex_;
    std::condition_variable outReady_;
    std::vector<uint8_t> outQueue_;
    const std::size_t outCapacity_;
    bool writeFailureReported_ = false;

    std::mutex callMutex_;
    std::shared_ptr<TSerialEventCall> currentCall_;

    std::thread comThread_, dispThread_, outThread_;
};
