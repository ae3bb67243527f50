#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class TDataPacket;

// The shared part of all collectors of one port: the received-byte buffer, the collector
// that is collecting (the capture), one timer, and the in-event state. Pure logic: it takes
// bytes and a clock; whoever reads the port calls Receive() and CheckTimers(). Its lock keeps
// arming on the user-interface thread and collecting on the reading thread apart; it is never
// held while an event runs.
class TDataPacketManager {
public:
    using Clock = std::function<int64_t()>;
    // Runs the event of a collector (packet or time-out) and returns once the handler has
    // returned, or false when the event was dropped before it began (the port closed first).
    using EventRunner =
        std::function<bool(TDataPacket* sender, bool packet, const uint8_t* data, int size)>;
    using ErrorReporter = std::function<void(const QString& text)>;

    explicit TDataPacketManager(Clock clock = {});
    ~TDataPacketManager();
    TDataPacketManager(const TDataPacketManager&) = delete;
    TDataPacketManager& operator=(const TDataPacketManager&) = delete;

    // Default: the handler runs at once on the calling thread.
    void SetEventRunner(EventRunner runner);
    // Default: ReportSerialError.
    void SetErrorReporter(ErrorReporter reporter);
    // Called under the lock when the collector of a not yet started event detaches.
    void SetCancelHook(std::function<void()> hook);

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
    using Lock = std::unique_lock<std::mutex>;

    void Enable(TDataPacket* packet);  // SetEnabled(true), configuration already checked
    void Disable(TDataPacket* packet); // SetEnabled(false)
    void ChangeEndString(TDataPacket* packet, const QByteArray& text);

    bool Attached(const TDataPacket* packet) const;
    void Arm(TDataPacket* packet);            // lock held, port open, not in an event
    bool ArmChecked(TDataPacket* packet);     // as Arm, reports an inconsistent configuration
    void StopCollecting(TDataPacket* packet); // lock held
    void ClearBuffer();
    void Append(const uint8_t* bytes, std::size_t count);

    // Runs collecting from buffer position `pos`; handles completions until no more.
    void Process(Lock& lock, std::size_t pos);
    // Collecting step: the buffer index of the byte that completes the packet, or -1.
    int64_t Collect(TDataPacket* packet, std::size_t pos);
    // Runs an event with the lock released; false when the port closed meanwhile.
    bool RunEvent(Lock& lock, TDataPacket* packet, bool isPacket, std::size_t consumed);

    Clock clock_;
    EventRunner runner_;
    ErrorReporter reporter_;
    std::function<void()> cancelHook_;

    mutable std::mutex mutex_;
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
