#pragma once

#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <functional>
#include <vector>

class TSerialPort;
class TDataPacketManager;
class TDataPacket;

enum TPacketStartCond { scString, scAnyData };

// End conditions (a set): bit flags, e.g. `EndCond = ecPacketSize;`
enum TPacketEndCond : unsigned { ecString = 1u << 0, ecPacketSize = 1u << 1 };
using TPacketEndConds = unsigned;

enum TPacketMode { dpIdle, dpWaitStart, dpCollecting };

// Handlers are plain std::function members, called on the thread that owns the port (the
// user-interface thread); no received byte is handled until they return. They may open modal
// dialogs, re-arm the collector (SetEnabled(true)) and close the port. Data is valid
// only until the handler returns. An exception escaping a handler goes to ReportSerialError.
using TPacketNotifyEvent = std::function<void(TDataPacket* Sender, const uint8_t* Data, int Size)>;
using TPacketTimeoutEvent = std::function<void(TDataPacket* Sender)>;

// Cuts the bytes received on its port into packets.
//
// Arming for a fixed-length reply:
//     p->SetEnabled(false); p->PacketSize = 61; p->EndCond = ecPacketSize; p->TimeOut = 18;
//     p->SetEnabled(true); port->PutString("R0000,3c\r");
// Arming for a line: SetEndString("\r\n"); EndCond = ecString; TimeOut = 12; SetEnabled(true).
//
// Component defaults follow the classic component (AutoEnable true, StartCond scString,
// TimeOut 2184); the main window sets AutoEnable = false, StartCond = scAnyData, TimeOut = 18.
// There is no start string, so scString behaves like scAnyData.
class TDataPacket : public QObject {
public:
    explicit TDataPacket(QObject* parent = nullptr);
    ~TDataPacket() override;

    // The port whose bytes are collected. Setting it detaches from the old port (the
    // collector is disarmed) and attaches to the new one.
    TSerialPort* ComPort() const { return comPort_; }
    void SetComPort(TSerialPort* port);
    // Attaches to a bare manager without a port (tests and tools).
    void SetManager(TDataPacketManager* manager);

    // Armed. Setting true arms (throws ESerialError on an inconsistent configuration), false
    // disarms and drops the bytes collected so far. Setting the present value does nothing.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);

    // Setting the end string disarms, stores, and re-arms if the collector was armed.
    QByteArray EndString() const;
    void SetEndString(const QByteArray& text);

    // Plain fields: they take effect at the next arming.
    bool AutoEnable = true;
    TPacketStartCond StartCond = scString;
    TPacketEndConds EndCond = 0;
    int32_t PacketSize = 0;
    int32_t TimeOut = 2184; // ticks of 55 ms, 0 = no limit
    bool IncludeStrings = true;
    bool IgnoreCase = true;
    bool FlushOnTimeout = true;

    TPacketNotifyEvent OnPacket;
    TPacketTimeoutEvent OnTimeout;

    // Inner state, for tests.
    TPacketMode Mode() const { return mode_; }

    // Runs OnPacket (packet) or OnTimeout; an escaping exception goes to ReportSerialError.
    void FireEvent(bool packet, const uint8_t* data, int size);

private:
    friend class TDataPacketManager;

    // Throws when the configuration cannot be armed.
    void CheckArmable() const;

    TSerialPort* comPort_ = nullptr;
    TDataPacketManager* manager_ = nullptr;
    bool enabled_ = false;

    // Collecting state, kept by the manager.
    QByteArray endString_;
    TPacketMode mode_ = dpIdle;
    int64_t first_ = -1;      // buffer index of the first byte, -1 = none yet
    std::size_t matched_ = 0; // end-string bytes matched in a row
    int64_t targetSize_ = 0;
    bool enablePending_ = false;
    bool ignoreCase_ = true;
    bool endBySize_ = false;
    bool endByString_ = false;
    bool includeStrings_ = true;
    std::vector<uint8_t> endPattern_;      // prepared end string (upper-cased with IgnoreCase)
    std::vector<std::size_t> endFallback_; // longest proper border of each pattern prefix
};
