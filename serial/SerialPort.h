#pragma once

#include "serial/SerialTypes.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class TDataPacketManager;
class TSerialDispatcher;

// One COM port by number (see ComPortMap.h for how numbers map to devices). Use it from the
// thread that owns it, the user-interface thread: the port is read on that thread's event
// loop, and packet and time-out events of its collectors run there. Failures raise
// ESerialError with a German text (EPortOpenError when the port does not open).
class TSerialPort : public QObject {
public:
    explicit TSerialPort(QObject* parent = nullptr);
    ~TSerialPort() override; // closes the port

    // Setting a new number on an open port closes it and opens the new one.
    uint16_t ComNumber() const { return comNumber_; }
    void SetComNumber(uint16_t number);

    // Open() tells whether the port is open; SetOpen(true) opens it (throws ESerialError when
    // the port does not exist, another program holds it, or the driver refuses the line),
    // SetOpen(false) closes it. Closing is safe inside OnPacket/OnTimeout and while their
    // dialogs are showing.
    bool Open() const;
    void SetOpen(bool on);

    // Send bytes without waiting for the line. Throw when the port is closed, when the output
    // queue lacks room for the whole block (then nothing is queued) or the driver refuses them.
    // A device that vanished is not reported here but through OnLost.
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
    uint16_t InSize = 4096;  // the driver's receive queue, where the platform has one
    uint16_t OutSize = 4096; // also the size of the output queue
    THWFlowOptions HWFlowOptions = 0;
    TSWFlowOptions SWFlowOptions = swfNone;
    bool DTR = true;
    bool RTS = true;
    bool PromptForPort = true; // no port dialog here: number 0 fails with a message
    bool AutoOpen = true;      // kept for the owner; the port never opens by itself
    // The device path the user named the port by (the command-line tool's --device): messages
    // then name the port by it. Empty in the window: messages say "COM<n>".
    QString GivenDevicePath;

    // The device vanished (unplugged, or it hung up): the port has closed itself, so the next
    // opening opens the device afresh. Runs once per loss, after the step that ran into it has
    // returned. Unset, the text goes to ReportSerialError.
    std::function<void(const QString& text)> OnLost;

    TDataPacketManager* PacketManager() const { return manager_.get(); }

private:
    void OpenPort();
    void ClosePort();
    TSerialDispatcher& RequireOpen(); // throws on a closed port
    void Lost();
    void Send(const uint8_t* bytes, std::size_t count);
    QString shownName() const; // how messages name the open port

    uint16_t comNumber_ = 0;
    std::unique_ptr<TDataPacketManager> manager_;
    TSerialDispatcher* dispatcher_; // a child, for the whole life of the port
    int openedNumber_ = 0;          // the COM number the open device belongs to
};

// The text of OnLost for COM port n, or for a port named `shownName` (a device path).
QString PortLostText(int comNumber);
QString PortLostText(const QString& shownName);

// Whether COM port n can be used: false for 0 and for a port without a device; true when it
// opens (it is closed again at once), when another program holds it, or when the user lacks
// the permission to open it. Uses the COM port map as last read.
bool IsPortAvailable(int comNumber);
