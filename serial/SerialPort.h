#pragma once

#include "serial/SerialTypes.h"

#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <memory>

class TDataPacketManager;
class TSerialDispatcher;
class TSerialEventPump;

// One COM port by number (see ComPortMap.h for how numbers map to devices). Use it from the
// thread that owns it, the user-interface thread: packet and time-out events of its
// collectors run there. Failures raise ESerialError with a German text (EPortOpenError
// when the port does not open).
class TSerialPort : public QObject {
public:
    explicit TSerialPort(QObject* parent = nullptr);
    ~TSerialPort() override; // closes the port

    // Setting a new number on an open port closes it and opens the new one.
    uint16_t ComNumber() const { return comNumber_; }
    void SetComNumber(uint16_t number);

    // Open() tells whether the port is open; SetOpen(true) opens it (throws ESerialError when
    // the port does not exist, another program holds it, or the driver refuses the line),
    // SetOpen(false) closes it. Closing never waits for the user-interface thread, so it is
    // safe inside OnPacket/OnTimeout and while their dialogs are showing.
    bool Open() const { return dispatcher_ != nullptr; }
    void SetOpen(bool on);

    // Queue bytes for sending and return at once. Throw when the port is closed or the
    // output queue lacks room for the whole block (then nothing is queued).
    void PutString(const QByteArray& text);
    void PutChar(uint8_t byte);
    // Drop received bytes that have not reached the collector yet / queued unsent bytes.
    void FlushInBuffer();
    void FlushOutBuffer();

    // Read at opening.
    int32_t Baud = 19200;
    TParity Parity = pNone;
    uint16_t DataBits = 8;
    uint16_t StopBits = 1;
    uint16_t InSize = 4096;  // the platform has no driver queue size to request
    uint16_t OutSize = 4096; // also the size of the output queue
    THWFlowOptions HWFlowOptions = 0;
    TSWFlowOptions SWFlowOptions = swfNone;
    bool DTR = true;
    bool RTS = true;
    bool PromptForPort = true; // no port dialog here: number 0 fails with a message
    bool AutoOpen = true;      // kept for the owner; the port never opens by itself

    TDataPacketManager* PacketManager() const { return manager_.get(); }

private:
    void OpenPort();
    void ClosePort();
    TSerialDispatcher& RequireOpen(); // throws on a closed port

    uint16_t comNumber_ = 0;
    TSerialEventPump* pump_; // a child: runs events on this object's thread
    std::unique_ptr<TDataPacketManager> manager_;
    std::unique_ptr<TSerialDispatcher> dispatcher_;
};

// Whether COM port n can be used: false for 0 and for a port without a device; true when it
// opens (it is closed again at once), when another program holds it, or when the user lacks
// the permission to open it. Uses the COM port map as last read.
bool IsPortAvailable(int comNumber);
