#pragma once

#include "config/ConfigImage.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>

class ESerialError;
class QTimer;
class TDataPacket;
class TLinkView;
class TSerialPort;

// The conversation with the telephone system: identification, version, reading and writing
// the configuration image, the device search over COM1 to COM20, the free-port scan, the ENQ
// exchange of the PIN change and the handshake into firmware-loading mode. It runs one step
// per collector event on its thread's event loop; pauses are timer steps, never sleeps. What
// the user must see or answer goes through a TLinkView.
//
// The owner keeps the port, the collector and the firmware watchdog, hands the collector's
// events on (DataPacket1Packet, DataPacket1Timeout), the port's loss (ComPort1Lost) and the
// watchdog's time-out (TimerFWUpdateTimer).
class TLinkConversation : public QObject {
    Q_OBJECT
public:
    TLinkConversation(TSerialPort& ComPort1, TDataPacket& DataPacket1, QTimer& TimerFWUpdate,
                      TLinkView& view);
    ~TLinkConversation() override;

    // LinkState: which reply the conversation awaits.
    static constexpr int IdleState = 0;
    static constexpr int IdentifyState = 1;     // the answer to "T\r" on a probed port
    static constexpr int VersionState = 2;      // the firmware version line
    static constexpr int ReadState = 3;         // the 60 image bytes and their checksum
    static constexpr int WriteCommandState = 4; // ACK of the write command
    static constexpr int WriteByteState = 5;    // ACK of an image byte
    static constexpr int ChecksumState = 6;     // ACK of the checksum
    static constexpr int LoadPromptState = 7;   // ">" after "U\r" (firmware update)
    static constexpr int LoadReadyState = 8;    // "L" after "<"
    // LinkState of the PIN exchange: ACK of ENQ, verdict on the old PIN, ACK of the new one.
    static constexpr int PinEnqState = 9, PinOldState = 10, PinNewState = 11;
    // LinkOperation: what the running conversation is for.
    static constexpr int ReadOperation = 1, WriteOperation = 2, PinOperation = 3;

    // ---- operations ----
    // A read or write by LinkOperation: on the port in use, or after a search from COM1.
    void StartTransfer();
    // A search from COM1 for reading, under the search dialog (the first showing of a window).
    void StartSearch();
    // Scans COM1 to COM20 for ports that open, then lets the user choose one of them.
    void ChoosePortAfterScan();
    // Sets the port in use (the user's choice); it is opened by the next transfer.
    void ChoosePort(int comNumber);
    // The PIN change after its dialog: four old and four new digits, ASCII.
    void StartPinChange(const QByteArray& oldPin, const QByteArray& newPin);
    // Puts the device into firmware-loading mode; RunFirmwareTransfer follows on "L".
    void StartFirmwareUpdate();
    // The firmware dialog closed before the transfer: the handshake stops.
    void StopFirmwareHandshake();
    // Sets the COM number of the firmware load (the user's choice in the list).
    void SetFirmwarePort(int comNumber);
    // Ends every pending step and switches the collector off: no byte goes out afterwards.
    void Cancel();
    // The program closes: the pending steps end, the port closes and the line settles for
    // 1000 ms; `settled` runs then (at once when the port was closed).
    void CloseDevicePort(std::function<void()> settled);

    // ---- events handed on by the owner ----
    void DataPacket1Packet(TDataPacket* Sender, const uint8_t* Data, int Size);
    void DataPacket1Timeout(TDataPacket* Sender);
    void ComPort1Lost(const QString& text);
    void TimerFWUpdateTimer();
    // The transfer box was closed by the user: collector off, port buffers emptied.
    void TransferBoxClosed();

    // ---- state, read by the owner ----
    int LinkState = IdleState;
    int LinkOperation = ReadOperation;
    quint16 UsedComPort = 0;
    quint16 SearchPort = 0;
    bool SearchRunning = false; // a search has started and neither found a device nor given up
    QString SearchLabelPrefix = QStringLiteral("Suche an ");
    QString DeviceText;
    std::array<bool, 20> PortAvailable{};
    std::array<char, 5> PinMessage{}; // "5" and the four digits of the new PIN
    std::array<char, 4> OldPin{};     // the four digits of the old PIN
    // Whether a pause or a scan is pending.
    bool Waiting() const;
    // Shows the port in use (or "keiner") on the view.
    void ShowPortInUse();

private:
    void takePacket(const uint8_t* Data, int Size);
    void SearchNextPort();
    void SearchContinueMessage();
    void FirmwareReadyMessage();
    void RunDeviceSearch(bool clearPortLabel);
    void NotePermissionFailure(const ESerialError& failure);
    void GiveUpSearch();
    void EndSearch();
    void EndTransfer();
    void ScanFreePorts(std::function<void(bool found)> then);
    void ScanFrom(int n, bool found, std::function<void(bool found)> then);
    void ScanFirmwarePorts(int n, QStringList entries,
                           std::function<void(const QStringList& entries)> then);
    void OpenFirmwarePort();
    void SendEnq();
    void sendReadCommand();
    void sendWriteCommand();
    void sendImageByte();
    void PinExchangePacket(uint8_t reply);
    // Runs `step` after `ms` milliseconds as a timer step, unless Cancel comes first. The
    // user's input held meanwhile acts after the step, or is dropped as `held` says.
    enum class THeldInput { ActsAfterPause, Dropped };
    void After(int ms, std::function<void()> step, THeldInput held = THeldInput::ActsAfterPause);
    void SetWaiting(bool waiting);
    // Posts one of the conversation's messages (SearchContinueMessage, FirmwareReadyMessage)
    // to run after the current event; a Cancel in between drops it.
    void Post(void (TLinkConversation::*message)());
    // Runs a step of a collector event; a serial failure ends the transfer with its message.
    void EndOnRefusal(const std::function<void()>& step);

    TSerialPort& ComPort1;
    TDataPacket& DataPacket1;
    QTimer& TimerFWUpdate;
    TLinkView& View;
    QTimer* Pause = nullptr;
    std::function<void()> PendingStep;
    THeldInput PendingInput = THeldInput::ActsAfterPause;
    bool Waiting_ = false;
    quint64 Generation = 0; // counts the cancels
    ConfigImage Image{};
    ConfigImage ReceiveArea{};
    quint8 ImageChecksum = 0;
    int BytesSent = 0;
    int BytesToSend = 0;
    int SendCursor = 0;
    QString PermissionLine;
};
