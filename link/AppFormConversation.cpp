// The conversation with the telephone system: identification, version, reading and writing
// the configuration image, one step per collector event.
#include "app/AppForm.h"
#include "app/WarningBoxes.h"
#include "config/EditorPages.h"
#include "link/LinkArming.h"
#include "link/LinkProtocol.h"
#include "link/SearchDialogs.h"
#include "serial/DataPacket.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QTimer>

using namespace LinkProtocol;

namespace {

// Asks before a write that no port would ring for external calls; true: write anyway.
bool confirmUnreachableWrite(QWidget* parent) {
    return AskWarningYesNo(
        parent, QStringLiteral("ExternanrufWarnung"),
        QStringLiteral("Achtung!\nSie haben die Einstellungen so gewählt, dass ein Externanruf an "
                       "keinem Endgerät signalisiert wird.\nWenn Sie die Einstellungen in der "
                       "Anlage speichern, werden Sie von extern nicht erreichbar sein.\nWollen "
                       "Sie die Einstellungen in der Anlage speichern?"));
}

const QString TransferError = QStringLiteral("Übertragungsfehler");
const QString Fehler = QStringLiteral("Fehler!");
const QString ReadFailed = QStringLiteral("Fehler beim Auslesen der Zuvex 910k.");
const QString WriteFailed = QStringLiteral("Fehler beim Programmieren der Zuvex 910k.");

} // namespace

void TAppForm::UpDownloadExecute(int operation) {
    LinkOperation = operation == WriteOperation ? WriteOperation : ReadOperation;
    StartTransfer();
}

void TAppForm::StartTransfer() {
    if (LinkOperation == WriteOperation && !Editor->AnyExternalRing() &&
        !confirmUnreachableWrite(this))
        return;
    try {
        if (UsedComPort == 0) {
            RunDeviceSearch(false); // the read or write follows the identification
            return;
        }
        // A port chosen in the port dialog is known but not open yet.
        ComPort1->SetComNumber(UsedComPort);
        ComPort1->SetOpen(true);
        if (LinkOperation == WriteOperation) {
            sendWriteCommand();
            showTransferBox(QStringLiteral("Konfiguration programmieren"));
        } else if (LinkOperation == ReadOperation) {
            ComPort1->FlushInBuffer();
            sendReadCommand();
        }
    } catch (const ESerialError& e) {
        // The port cannot be opened (or went away): the command ends here.
        ShowApplicationError(e.message());
    }
}

void TAppForm::sendReadCommand() {
    armForBlock(*DataPacket1, ImageBlockSize, BlockTicks);
    ComPort1->PutString(ReadCommand);
    LinkState = ReadState;
}

void TAppForm::sendWriteCommand() {
    EditorToImage();
    armForBlock(*DataPacket1, 1, AckTicks);
    ComPort1->PutString(WriteCommand);
    BytesToSend = ConfigImageSize;
    LinkState = WriteCommandState;
}

void TAppForm::showTransferBox(const QString& caption) {
    UpDownLoad->setWindowTitle(caption);
    UpDownLoad->ClearLines();
    UpDownLoad->AddLine(QString());
    UpDownLoad->AddLine(QStringLiteral("Übertragung läuft ..."));
    UpDownLoad->show();
}

void TAppForm::EndTransfer() {
    UpDownLoad->CloseBox();
    // A transfer that ends during the search (the version request unanswered) ends the search
    // too; its dialog would otherwise stay open with both buttons disabled.
    if (SearchRunning)
        EndSearch();
}

void TAppForm::TransferBoxClosed() {
    try {
        DataPacket1->SetEnabled(false);
        DataPacket1->SetComPort(nullptr);
        DataPacket1->SetComPort(ComPort1.get());
        if (ComPort1->Open()) {
            ComPort1->FlushInBuffer();
            ComPort1->FlushOutBuffer();
        }
    } catch (const ESerialError& e) {
        ShowApplicationError(e.message());
    }
}

void TAppForm::DataPacket1Packet(TDataPacket*, const uint8_t* Data, int Size) {
    if (Size <= 0)
        return;
    const uint8_t first = Data[0];
    auto writeFailed = [this] {
        EndTransfer();
        ShowMessageDialog(ErrorDialog.get(), TransferError, {Fehler, WriteFailed});
    };
    switch (LinkState) {
    case IdentifyState:
        if (printableText(Data, Size) == DeviceName) {
            DeviceText = DeviceName;
            armForLine(*DataPacket1);
            ComPort1->PutString(VersionCommand);
            LinkState = VersionState;
        } else {
            PostSearchContinueMessage();
        }
        break;
    case VersionState:
        SetDeviceText(DeviceText + QStringLiteral(" - Firmware ") + printableText(Data, Size));
        UsedComPort = ComPort1->ComNumber();
        ShowUsedComPort();
        EndSearch();
        if (LinkOperation == ReadOperation)
            sendReadCommand();
        else if (LinkOperation == WriteOperation)
            sendWriteCommand();
        break;
    case ReadState: {
        const int count = std::min(Size - 1, ConfigImageSize);
        uint8_t sum = 0;
        for (int i = 0; i < count; ++i) {
            ReceiveArea[std::size_t(i)] = Data[i];
            sum = uint8_t(sum + Data[i]);
        }
        EndTransfer();
        if (count != ConfigImageSize || Data[Size - 1] != sum) {
            ShowMessageDialog(ErrorDialog.get(), TransferError, {Fehler, ReadFailed});
            break;
        }
        Image = ReceiveArea;
        ErgebnisDialog->ClearLines();
        ShowMessageDialog(ErgebnisDialog.get(), QStringLiteral("Konfiguration Auslesen"),
                          {QString(), QStringLiteral("Das Auslesen der Konfiguration war "
                                                     "erfolgreich.")});
        ImageToEditor();
        for (int port = 1; port <= 4; ++port)
            Editor->ApplyDoorRule(port, Editor->Port(port).tb->isChecked());
        ClearModified();
        break;
    }
    case WriteCommandState:
        if (first != Ack) {
            writeFailed();
            break;
        }
        SendCursor = 0;
        armForBlock(*DataPacket1, 1, AckTicks);
        LinkState = WriteByteState;
        ComPort1->PutChar(Image[std::size_t(SendCursor++)]);
        BytesSent = 1;
        break;
    case WriteByteState:
        if (first != Ack) {
            writeFailed();
        } else if (BytesSent < BytesToSend && SendCursor < ConfigImageSize) {
            armForBlock(*DataPacket1, 1, AckTicks);
            ComPort1->PutChar(Image[std::size_t(SendCursor++)]);
            ++BytesSent;
        } else {
            armForBlock(*DataPacket1, 1, ChecksumAckTicks);
            ComPort1->PutChar(ImageChecksum);
            LinkState = ChecksumState;
        }
        break;
    case ChecksumState:
        if (first != Ack) {
            writeFailed();
            break;
        }
        EndTransfer();
        ProgErgebnisDialog->ClearLines();
        ShowMessageDialog(ProgErgebnisDialog.get(), QStringLiteral("Konfiguration Programmieren"),
                          {QString(), QStringLiteral("Das Programmieren der Konfiguration war "
                                                     "erfolgreich.")});
        break;
    case LoadPromptState: // firmware-loading mode: ">" awaited, anything else ignored
        armForBlock(*DataPacket1, 1, BlockTicks);
        if (first == LoadPrompt) {
            ComPort1->PutChar(LoadConfirm);
            LinkState = LoadReadyState;
        }
        break;
    case LoadReadyState: // "L" awaited
        if (first == LoadReady) {
            TimerFWUpdate->stop();
            PostFirmwareReadyMessage();
        } else {
            armForBlock(*DataPacket1, 1, BlockTicks);
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

void TAppForm::ComPort1Lost(const QString& text) {
    if (!DataPacket1->Enabled())
        return; // idle: the next command opens the port afresh or says why it cannot
    switch (LinkState) {
    case IdentifyState: // a probe of the search: on to the next port, without a message
        PostSearchContinueMessage();
        break;
    case LoadPromptState:
    case LoadReadyState: // the firmware start: its watchdog ends the wait with its own message
        break;
    default:
        EndTransfer();
        ShowMessageDialog(ErrorDialog.get(), QStringLiteral("Schnittstellenfehler"),
                          {Fehler, text});
        break;
    }
}

void TAppForm::DataPacket1Timeout(TDataPacket*) {
    switch (LinkState) {
    case IdleState:
        break;
    case IdentifyState:
        PostSearchContinueMessage();
        break;
    case LoadPromptState:
    case LoadReadyState:
        // Only the firmware watchdog ends this wait.
        armForBlock(*DataPacket1, 1, BlockTicks);
        break;
    default:
        EndTransfer();
        ShowMessageDialog(ErrorDialog.get(), QStringLiteral("Timeout-Fehler"),
                          {QStringLiteral("Zeitüberschreitung!"),
                           QStringLiteral("Fehler bei der Datenübertragung.")});
        break;
    }
}
