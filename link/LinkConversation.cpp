#include "link/LinkConversation.h"

#include "link/LinkArming.h"
#include "link/LinkProtocol.h"
#include "link/LinkView.h"
#include "serial/ComPortMap.h"
#include "serial/DataPacket.h"
#include "serial/OpenFailure.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <utility>

using namespace LinkProtocol;

namespace {

constexpr int ProbeSettleMs = 200;    // after opening a probed port, before "T\r"
constexpr int ScanPauseMs = 150;      // per port of the free-port scan
constexpr int ScanHoldMs = 100;       // a port found by the firmware scan stays open this long
constexpr int FirmwareSettleMs = 100; // after closing the port, before the firmware transfer
constexpr int CloseSettleMs = 1000;   // the device's side of the line settles at the end
constexpr int PinReplyTicks = 12;
constexpr int HandshakeTicks = 18;

const QString TransferError = QStringLiteral("Übertragungsfehler");
const QString Fehler = QStringLiteral("Fehler!");
const QString ReadFailed = QStringLiteral("Fehler beim Auslesen der Zuvex 910k.");
const QString WriteFailed = QStringLiteral("Fehler beim Programmieren der Zuvex 910k.");
const QString PinCaption = QStringLiteral("Neuer Sicherheitscode");
const QString PortError = QStringLiteral("Schnittstellenfehler");
const QString NoFreePort = QStringLiteral("Es wurde keine freie Schnittstelle gefunden.");
const QString CannotStart = QStringLiteral("\nFirmware Update kann nicht gestartet werden.");
const QString CannotInitialise =
    QStringLiteral("COM-Schnittstelle kann nicht initialisiert werden.") + CannotStart;

} // namespace

TLinkConversation::TLinkConversation(TSerialPort& ComPort1, TDataPacket& DataPacket1,
                                     QTimer& TimerFWUpdate, TLinkView& view)
    : ComPort1(ComPort1), DataPacket1(DataPacket1), TimerFWUpdate(TimerFWUpdate), View(view) {
    Pause = new QTimer(this);
    Pause->setSingleShot(true);
    Pause->setTimerType(Qt::PreciseTimer); // a coarse timer may end a pause 5 % early
    connect(Pause, &QTimer::timeout, this, [this] {
        if (PendingInput == THeldInput::Dropped)
            View.DropHeldInput();
        SetWaiting(false); // a step may show a dialog, which must take input
        std::exchange(PendingStep, {})();
    });
}

TLinkConversation::~TLinkConversation() = default;

bool TLinkConversation::Waiting() const {
    return Waiting_;
}

void TLinkConversation::SetWaiting(bool waiting) {
    if (waiting == Waiting_)
        return;
    Waiting_ = waiting;
    View.SetWaiting(waiting);
}

void TLinkConversation::After(int ms, std::function<void()> step, THeldInput held) {
    PendingStep = std::move(step);
    PendingInput = held;
    Pause->start(ms);
    SetWaiting(true);
}

void TLinkConversation::Post(void (TLinkConversation::*message)()) {
    QMetaObject::invokeMethod(
        this,
        [this, message, generation = Generation] {
            if (generation == Generation) // a cancel in between drops the message
                (this->*message)();
        },
        Qt::QueuedConnection);
}

void TLinkConversation::Cancel() {
    ++Generation;
    Pause->stop();
    PendingStep = {};
    if (Waiting_) // what the user did meanwhile was meant for the flow that ends here
        View.DropHeldInput();
    SetWaiting(false);
    DataPacket1.SetEnabled(false);
}

void TLinkConversation::CloseDevicePort(std::function<void()> settled) {
    Cancel();
    if (!ComPort1.Open()) {
        settled();
        return;
    }
    ComPort1.SetOpen(false);
    // the window goes once the line has settled: nothing the user does meanwhile acts
    After(CloseSettleMs, std::move(settled), THeldInput::Dropped);
}

void TLinkConversation::ShowPortInUse() {
    View.ShowPortInUse(UsedComPort == 0
                           ? QStringLiteral("Verwendeter COM-Port: keiner")
                           : QStringLiteral("Verwendeter COM-Port: COM%1").arg(UsedComPort));
}

void TLinkConversation::ChoosePort(int comNumber) {
    UsedComPort = quint16(comNumber);
    ShowPortInUse();
}

// ---- read and write ----

void TLinkConversation::StartTransfer() {
    if (LinkOperation == WriteOperation && !View.AnyExternalRing() &&
        !View.AskWarningQuestion(
            QStringLiteral("ExternanrufWarnung"),
            QStringLiteral("Achtung!\nSie haben die Einstellungen so gewählt, dass ein Externanruf "
                           "an keinem Endgerät signalisiert wird.\nWenn Sie die Einstellungen in "
                           "der Anlage speichern, werden Sie von extern nicht erreichbar sein.\n"
                           "Wollen Sie die Einstellungen in der Anlage speichern?")))
        return;
    try {
        if (UsedComPort == 0) {
            RunDeviceSearch(false); // the read or write follows the identification
            return;
        }
        // A port chosen in the port dialog is known but not open yet.
        ComPort1.SetComNumber(UsedComPort);
        ComPort1.SetOpen(true);
        if (LinkOperation == WriteOperation) {
            sendWriteCommand();
            View.ShowTransferBox(QStringLiteral("Konfiguration programmieren"));
        } else if (LinkOperation == ReadOperation) {
            ComPort1.FlushInBuffer();
            sendReadCommand();
        }
    } catch (const ESerialError& e) {
        // The port cannot be opened (or went away): the command ends here.
        View.ShowApplicationError(e.message());
    }
}

void TLinkConversation::sendReadCommand() {
    armForBlock(DataPacket1, ImageBlockSize, BlockTicks);
    ComPort1.PutString(ReadCommand);
    LinkState = ReadState;
}

void TLinkConversation::sendWriteCommand() {
    Image = View.ImageToWrite();
    ImageChecksum = imageChecksum(Image);
    armForBlock(DataPacket1, 1, AckTicks);
    ComPort1.PutString(WriteCommand);
    BytesToSend = ConfigImageSize;
    LinkState = WriteCommandState;
}

void TLinkConversation::sendImageByte() {
    armForBlock(DataPacket1, 1, AckTicks);
    ComPort1.PutChar(Image[std::size_t(SendCursor++)]);
}

void TLinkConversation::EndTransfer() {
    View.HideTransferBox();
    TransferBoxClosed();
    // A transfer that ends during the search (the version request unanswered) ends the search
    // too; its dialog would otherwise stay open with both buttons disabled.
    if (SearchRunning)
        EndSearch();
}

void TLinkConversation::TransferBoxClosed() {
    try {
        DataPacket1.SetEnabled(false);
        DataPacket1.SetComPort(nullptr);
        DataPacket1.SetComPort(&ComPort1);
        if (ComPort1.Open()) {
            ComPort1.FlushInBuffer();
            ComPort1.FlushOutBuffer();
        }
    } catch (const ESerialError& e) {
        View.ShowApplicationError(e.message());
    }
}

void TLinkConversation::EndOnRefusal(const std::function<void()>& step) {
    // A step whose next bytes the driver refuses ends its flow with that one message, and
    // leaves no transfer box behind whose time-out would add a second one.
    try {
        step();
    } catch (const ESerialError& e) {
        EndTransfer();
        View.ShowApplicationError(e.message());
    }
}

void TLinkConversation::DataPacket1Packet(TDataPacket*, const uint8_t* Data, int Size) {
    EndOnRefusal([&] {
        if (Size > 0)
            takePacket(Data, Size);
    });
}

void TLinkConversation::takePacket(const uint8_t* Data, int Size) {
    const uint8_t first = Data[0];
    auto writeFailed = [this] {
        EndTransfer();
        View.ShowErrorBox(TransferError, {Fehler, WriteFailed});
    };
    switch (LinkState) {
    case IdentifyState:
        if (printableText(Data, Size) == DeviceName) {
            DeviceText = DeviceName;
            armForLine(DataPacket1);
            ComPort1.PutString(VersionCommand);
            LinkState = VersionState;
        } else {
            Post(&TLinkConversation::SearchContinueMessage);
        }
        break;
    case VersionState:
        DeviceText += QStringLiteral(" - Firmware ") + printableText(Data, Size);
        View.ShowDeviceText(DeviceText);
        UsedComPort = ComPort1.ComNumber();
        ShowPortInUse();
        EndSearch();
        if (LinkOperation == ReadOperation)
            sendReadCommand();
        else if (LinkOperation == WriteOperation)
            sendWriteCommand();
        break;
    case ReadState: {
        const int count = std::min(Size - 1, ConfigImageSize);
        std::copy_n(Data, count, ReceiveArea.begin());
        const bool good = count == ConfigImageSize && Data[Size - 1] == byteSum(Data, count);
        EndTransfer();
        if (!good) {
            View.ShowErrorBox(TransferError, {Fehler, ReadFailed});
            break;
        }
        View.ShowResult(
            ReadOperation, QStringLiteral("Konfiguration Auslesen"),
            {QString(), QStringLiteral("Das Auslesen der Konfiguration war erfolgreich.")});
        View.ImageRead(ReceiveArea);
        break;
    }
    case WriteCommandState:
        if (first != Ack) {
            writeFailed();
            break;
        }
        SendCursor = 0;
        LinkState = WriteByteState;
        sendImageByte();
        BytesSent = 1;
        break;
    case WriteByteState:
        if (first != Ack) {
            writeFailed();
        } else if (BytesSent < BytesToSend && SendCursor < ConfigImageSize) {
            sendImageByte();
            ++BytesSent;
        } else {
            armForBlock(DataPacket1, 1, ChecksumAckTicks);
            ComPort1.PutChar(ImageChecksum);
            LinkState = ChecksumState;
        }
        break;
    case ChecksumState:
        if (first != Ack) {
            writeFailed();
            break;
        }
        EndTransfer();
        View.ShowResult(
            WriteOperation, QStringLiteral("Konfiguration Programmieren"),
            {QString(), QStringLiteral("Das Programmieren der Konfiguration war erfolgreich.")});
        break;
    case LoadPromptState: // firmware-loading mode: ">" awaited, anything else ignored
        armForBlock(DataPacket1, 1, BlockTicks);
        if (first == LoadPrompt) {
            ComPort1.PutChar(LoadConfirm);
            LinkState = LoadReadyState;
        }
        break;
    case LoadReadyState: // "L" awaited
        if (first == LoadReady) {
            TimerFWUpdate.stop();
            Post(&TLinkConversation::FirmwareReadyMessage);
        } else {
            armForBlock(DataPacket1, 1, BlockTicks);
        }
        break;
    case PinEnqState:
    case PinOldState:
    case PinNewState: // the PIN exchange; its time-outs end as below
        PinExchangePacket(first);
        break;
    default:
        break;
    }
}

void TLinkConversation::DataPacket1Timeout(TDataPacket*) {
    EndOnRefusal([&] {
        switch (LinkState) {
        case IdleState:
            break;
        case IdentifyState:
            Post(&TLinkConversation::SearchContinueMessage);
            break;
        case LoadPromptState:
        case LoadReadyState:
            // Only the firmware watchdog ends this wait.
            armForBlock(DataPacket1, 1, BlockTicks);
            break;
        default:
            EndTransfer();
            View.ShowErrorBox(QStringLiteral("Timeout-Fehler"),
                              {QStringLiteral("Zeitüberschreitung!"),
                               QStringLiteral("Fehler bei der Datenübertragung.")});
            break;
        }
    });
}

void TLinkConversation::ComPort1Lost(const QString& text) {
    if (!DataPacket1.Enabled())
        return; // idle: the next command opens the port afresh or says why it cannot
    switch (LinkState) {
    case IdentifyState: // a probe of the search: on to the next port, without a message
        Post(&TLinkConversation::SearchContinueMessage);
        break;
    case LoadPromptState:
    case LoadReadyState: // the firmware start: its watchdog ends the wait with its own message
        break;
    default:
        EndTransfer();
        View.ShowErrorBox(PortError, {Fehler, text});
        break;
    }
}

// ---- the device search ----

void TLinkConversation::StartSearch() {
    LinkOperation = ReadOperation;
    RunDeviceSearch(true);
}

void TLinkConversation::RunDeviceSearch(bool clearPortLabel) {
    try {
        SearchPort = 0;
        SearchRunning = true;
        RefreshComPortMap(); // an adapter plugged in since the last search gets its number
        PermissionLine.clear();
        if (clearPortLabel)
            View.ShowSearchLabel(QString());
        SearchNextPort();
        if (SearchRunning)
            View.RunSearchDialog();
    } catch (const ESerialError& e) {
        View.ShowApplicationError(e.message());
        EndSearch();
    }
}

void TLinkConversation::SearchNextPort() {
    for (;;) {
        if (SearchPort >= MaxComNumber) {
            GiveUpSearch();
            return;
        }
        ++SearchPort;
        if (!IsPortAvailable(SearchPort))
            continue;
        try {
            ComPort1.SetComNumber(SearchPort);
            ComPort1.SetOpen(true);
        } catch (const ESerialError& e) {
            ComPort1.SetOpen(false); // held by another program, or the line cannot be set
            NotePermissionFailure(e);
            continue;
        }
        View.ShowSearchLabel(SearchLabelPrefix + QStringLiteral("COM%1").arg(ComPort1.ComNumber()));
        After(ProbeSettleMs, [this] {
            if (!ComPort1.Open()) { // the device vanished during the pause: on to the next port
                Post(&TLinkConversation::SearchContinueMessage);
                return;
            }
            try {
                ComPort1.FlushInBuffer();
                armForLine(DataPacket1);
                ComPort1.PutString(IdentifyCommand);
                LinkState = IdentifyState;
            } catch (const ESerialError& e) {
                View.ShowApplicationError(e.message());
                EndSearch(); // no further port is probed
            }
        });
        return;
    }
}

void TLinkConversation::NotePermissionFailure(const ESerialError& failure) {
    // A port that does not open is skipped without a word, but the no-device dialog names the
    // first one the user may not open, and how to get the permission.
    const auto* open = dynamic_cast<const EPortOpenError*>(&failure);
    if (open && open->failure() == TOpenFailure::NoPermission && PermissionLine.isEmpty())
        PermissionLine = open->message();
}

void TLinkConversation::GiveUpSearch() {
    if (View.NoDeviceFound(PermissionLine)) {
        RunDeviceSearch(true);
        return;
    }
    EndSearch();
    UsedComPort = 0;
    ComPort1.SetOpen(false);
    View.ShowDeviceText(QString());
    View.ShowPortInUse(QString());
}

void TLinkConversation::EndSearch() {
    SearchRunning = false;
    View.SearchEnded();
}

void TLinkConversation::SearchContinueMessage() {
    try {
        ComPort1.SetOpen(false);
        SearchNextPort();
    } catch (const ESerialError& e) {
        View.ShowApplicationError(e.message());
        EndSearch(); // no further port is probed
    }
}

// ---- the free-port scan and the port choice ----

void TLinkConversation::ScanFreePorts(std::function<void(bool found)> then) {
    ScanFrom(1, false, std::move(then));
}

void TLinkConversation::ScanFrom(int n, bool found, std::function<void(bool found)> then) {
    if (n > MaxComNumber) {
        then(found);
        return;
    }
    bool numberSet = true;
    try {
        ComPort1.SetComNumber(quint16(n));
    } catch (const ESerialError&) {
        numberSet = false; // the port open before could not be reopened under this number
    }
    if (numberSet) {
        try {
            ComPort1.SetOpen(true);
        } catch (const ESerialError&) {
        }
    }
    const bool opened = ComPort1.Open();
    if (opened)
        ComPort1.SetOpen(false);
    PortAvailable[std::size_t(n - 1)] = opened;
    After(ScanPauseMs, [this, n, found = found || opened, then = std::move(then)] {
        ScanFrom(n + 1, found, then);
    });
}

void TLinkConversation::ChoosePortAfterScan() {
    ScanFreePorts([this](bool found) {
        if (found)
            View.RunPortChoice();
        else
            View.ShowErrorBox(PortError, {Fehler, NoFreePort});
    });
}

// ---- the PIN change ----

void TLinkConversation::StartPinChange(const QByteArray& oldPin, const QByteArray& newPin) {
    PinMessage[0] = '5';
    for (std::size_t i = 0; i < OldPin.size(); ++i) {
        PinMessage[i + 1] = newPin.at(qsizetype(i));
        OldPin[i] = oldPin.at(qsizetype(i));
    }
    if (UsedComPort != 0) {
        SendEnq();
        return;
    }
    ScanFreePorts([this](bool found) {
        if (!found) {
            View.ShowErrorBox(PortError, {Fehler, NoFreePort});
            return;
        }
        if (View.RunPortChoice() && UsedComPort != 0)
            SendEnq();
    });
}

void TLinkConversation::SendEnq() {
    LinkOperation = PinOperation;
    View.ShowTransferBox(PinCaption);
    try {
        ComPort1.SetComNumber(UsedComPort);
        ComPort1.SetOpen(true);
        armForBlock(DataPacket1, 1, PinReplyTicks);
        ComPort1.PutChar(Enq);
        LinkState = PinEnqState;
    } catch (const ESerialError& e) {
        EndTransfer(); // the window must not stay disabled behind the error
        View.ShowApplicationError(e.message());
    }
}

void TLinkConversation::PinExchangePacket(uint8_t reply) {
    // The device answers ENQ, the four digits of the old PIN and the five bytes of PinMessage
    // each with ACK; it answers a wrong old PIN with NAK.
    auto fail = [this](const QString& caption, const QString& line) {
        EndTransfer();
        View.ShowErrorBox(caption, {Fehler, line});
    };
    if (LinkState == PinOldState && reply == Nak) {
        fail(PinCaption, QStringLiteral("Die alte PIN ist falsch."));
        return;
    }
    if (reply != Ack) {
        fail(TransferError, QStringLiteral("Fehler beim Ändern des Sicherheitscodes."));
        return;
    }
    switch (LinkState) {
    case PinEnqState:
        armForBlock(DataPacket1, 1, PinReplyTicks);
        ComPort1.PutString(QByteArray(OldPin.data(), qsizetype(OldPin.size())));
        LinkState = PinOldState;
        break;
    case PinOldState:
        armForBlock(DataPacket1, 1, PinReplyTicks);
        ComPort1.PutString(QByteArray(PinMessage.data(), qsizetype(PinMessage.size())));
        LinkState = PinNewState;
        break;
    case PinNewState:
        EndTransfer();
        View.ShowResult(PinOperation, PinCaption,
                        {QString(), QStringLiteral("Der Sicherheitscode wurde geändert.")});
        break;
    default:
        break;
    }
}

// ---- the firmware start ----

void TLinkConversation::StartFirmwareUpdate() {
    try {
        if (UsedComPort != 0) {
            ComPort1.SetComNumber(UsedComPort);
            OpenFirmwarePort();
            return;
        }
        RefreshComPortMap(); // an adapter may have been plugged in since the last search
    } catch (const ESerialError&) {
        View.ShowWarning(CannotInitialise);
        return;
    }
    // Offer the ports that can be opened now.
    ScanFirmwarePorts(1, {}, [this](const QStringList& entries) {
        if (entries.isEmpty()) {
            View.ShowWarning(QStringLiteral("Keine freie COM-Schnittstelle gefunden.") +
                             CannotStart);
        } else if (!View.RunFirmwarePortChoice(entries)) {
            View.ShowWarning(QStringLiteral("Keine COM-Schnittstelle gewählt, oder die\n"
                                            "Schnittstelle ist belegt.") +
                             CannotStart);
        } else {
            OpenFirmwarePort();
        }
    });
}

void TLinkConversation::ScanFirmwarePorts(int n, QStringList entries,
                                          std::function<void(const QStringList&)> then) {
    for (; n <= MaxComNumber; ++n) {
        if (!IsPortAvailable(n))
            continue;
        try {
            ComPort1.SetComNumber(quint16(n));
            ComPort1.SetOpen(true);
        } catch (const ESerialError&) {
            ComPort1.SetOpen(false);
            continue;
        }
        entries << QStringLiteral("COM%1").arg(n);
        After(ScanHoldMs, [this, n, entries, then = std::move(then)] {
            try {
                ComPort1.SetOpen(false);
            } catch (const ESerialError&) {
                View.ShowWarning(CannotInitialise);
                return;
            }
            ScanFirmwarePorts(n + 1, entries, then);
        });
        return;
    }
    then(entries);
}

void TLinkConversation::SetFirmwarePort(int comNumber) {
    ComPort1.SetComNumber(quint16(comNumber));
}

void TLinkConversation::OpenFirmwarePort() {
    try {
        ComPort1.SetOpen(true); // an open port stays open
    } catch (const ESerialError&) {
        View.ShowWarning(CannotInitialise);
        return;
    }
    // Not disarmed first: a collector that is still armed keeps its arming.
    DataPacket1.PacketSize = 1;
    DataPacket1.EndCond = ecPacketSize;
    DataPacket1.TimeOut = HandshakeTicks;
    DataPacket1.SetEnabled(true);
    ComPort1.PutString(LoadCommand);
    LinkState = LoadPromptState;
    if (!TimerFWUpdate.isActive()) // a running watchdog keeps its 10 seconds
        TimerFWUpdate.start();
}

void TLinkConversation::TimerFWUpdateTimer() {
    TimerFWUpdate.stop();
    DataPacket1.SetEnabled(false);
    View.ShowErrorBox(QStringLiteral("Fehler"),
                      {Fehler, QStringLiteral("Firmware Update konnte nicht gestartet werden.")});
}

void TLinkConversation::StopFirmwareHandshake() {
    if (LinkState != LoadPromptState && LinkState != LoadReadyState)
        return;
    TimerFWUpdate.stop();
    DataPacket1.SetEnabled(false);
}

void TLinkConversation::FirmwareReadyMessage() {
    try {
        ComPort1.SetOpen(false);
        After(FirmwareSettleMs, [this] {
            try {
                View.RunFirmwareTransfer();
                // The device restarts with the new firmware: find it again, read its
                // configuration.
                StartSearch();
            } catch (const ESerialError& e) {
                View.ShowApplicationError(e.message());
            }
        });
    } catch (const ESerialError& e) {
        View.ShowApplicationError(e.message());
    }
}
