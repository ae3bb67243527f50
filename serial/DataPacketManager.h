#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class TDataPacket;

// The shared part of all collectors of one port: the received-byte buffer, the collector
// that is collecting (the capture), one timer, and the in-event state. Pure logic: it takes
// bytes and a clock; whoever reads the port calls Receive() and CheckTimers(), on the one
// thread that also arms the collectors. Handlers run at once, inside Receive() and
// CheckTimers().
class TDataPacketManager {
public:
    using Clock = std::function<int64_t()>;

    explicit TDataPacketManager(Clock clock = {});
    ~TDataPacketManager();
    TDataPacketManager(const TDataPacketManager&) = delete;
    TDataPacketManager& operator=(const TDataPacketManager&) = delete;

    // Called whenever arming, disarming, attaching or the port changed what TimerDueMs() says.
    void SetTimerHook(std::function<void()> hook);
    // The clock's millisecond at which CheckTimers() fires the time-out, or -1 while no
    // collector waits with a time-out (also during an event).
    int64_t TimerDueMs() const;

    void Attach(TDataPacket* packet);
    void Detach(TDataPacket* packet);
    void DetachAll(); // the port goes away: every collector loses its port

    // The port opened: enable and arm every attached collector whose Enabled is true.
    void PortOpened();
    // The port is closing: stop all collecting (Enabled stays), drop the buffer, disable.
    void PortClosing();

    // Reading side.
    void Receive(const uint8_t* bytes, std::size_t count);
    void CheckTimers();

    // For tests.
    std::size_t BufferedBytes() const;
    bool IsOpen() const;
    bool InEvent() const;
    TDataPacket* Capture() const;

private:
    friend class TDataPacket;
    void Enable(TDataPacket* packet);  // SetEnabled(true), configuration already checked
    void Disable(TDataPacket* packet); // SetEnabled(false)
    void ChangeEndString(TDataPacket* packet, const QByteArray& text);

    bool Attached(const TDataPacket* packet) const;
    void Arm(TDataPacket* packet);        // port open, not in an event
    bool ArmChecked(TDataPacket* packet); // as Arm, reports an inconsistent configuration
    void StopCollecting(TDataPacket* packet);
    void ClearBuffer();
    void Append(const uint8_t* bytes, std::size_t count);

    // Runs collecting from buffer position `pos`; handles completions until no more.
    void Process(std::size_t pos);
    // Collecting step: the buffer index of the byte that completes the packet, or -1.
    int64_t Collect(TDataPacket* packet, std::size_t pos);
    // Runs an event; false when the port closed meanwhile.
    bool RunEvent(TDataPacket* packet, bool isPacket, std::size_t consumed);
    void TimerChanged() const;

    Clock clock_;
    std::function<void()> timerHook_;

    std::vector<uint8_t> buffer_;
    std::vector<uint8_t> eventData_;
    std::vector<TDataPacket*> packets_;
    TDataPacket* capture_ = nullptr;
    TDataPacket* eventPacket_ = nullptr;
    bool timerActive_ = false;
    int64_t timerExpiry_ = 0;
    bool inEvent_ = false;
    bool open_ = false;
    uint64_t generation_ = 0; // counts closings, so an event can tell the port closed under it
};
