// The PIN change: the dialog, the port, and the exchange after ENQ. The device answers ENQ,
// the four digits of the old PIN and the five bytes of PinMessage each with ACK; it answers
// a wrong old PIN with NAK.
#include "app/AppForm.h"
#include "link/LinkArming.h"
#include "link/LinkProtocol.h"
#include "link/NeuePINDlg.h"
#include "link/PortDialogs.h"
#include "serial/DataPacket.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <QLineEdit>

namespace {

constexpr int PinReplyTicks = 12;
const QString Caption = QStringLiteral("Neuer Sicherheitscode");

} // namespace

void TAppForm::NewPINExecute() {
    if (NeuePINDlg->exec() != mrOk)
        return;
    const QByteArray newPin = NeuePINDlg->NeuePIN1->text().toLatin1();
    PinMessage[0] = '5';
    for (std::size_t i = 0; i < 4; ++i) {
        PinMessage[i + 1] = newPin.at(qsizetype(i));
        OldPin[i] = NeuePINDlg->OldPin.at(qsizetype(i));
    }
    if (UsedComPort == 0) {
        if (!ScanFreePorts()) {
            ShowMessageDialog(ErrorDialog.get(), QStringLiteral("Schnittstellenfehler"),
                              {QStringLiteral("Fehler!"),
                               QStringLiteral("Es wurde keine freie Schnittstelle gefunden.")});
            return;
        }
        if (PortDialog->exec() != mrOk || UsedComPort == 0)
            return;
    }
    LinkOperation = PinOperation;
    showTransferBox(Caption);
    try {
        ComPort1->SetComNumber(UsedComPort);
        ComPort1->SetOpen(true);
        armForBlock(*DataPacket1, 1, PinReplyTicks);
        ComPort1->PutChar(LinkProtocol::Enq);
        LinkState = PinEnqState;
    } catch (const ESerialError& e) {
        EndTransfer(); // the window must not stay disabled behind the error
        ShowApplicationError(e.message());
    }
}

void TAppForm::PinExchangePacket(std::uint8_t reply) {
    auto fail = [this](const QString& caption, const QString& line) {
        EndTransfer();
        ShowMessageDialog(ErrorDialog.get(), caption, {QStringLiteral("Fehler!"), line});
    };
    const QString transferError = QStringLiteral("Übertragungsfehler");
    const QString failed = QStringLiteral("Fehler beim Ändern des Sicherheitscodes.");
    if (LinkState == PinOldState && reply == LinkProtocol::Nak) {
        fail(Caption, QStringLiteral("Die alte PIN ist falsch."));
        return;
    }
    if (reply != LinkProtocol::Ack) {
        fail(transferError, failed);
        return;
    }
    switch (LinkState) {
    case PinEnqState:
        armForBlock(*DataPacket1, 1, PinReplyTicks);
        ComPort1->PutString(QByteArray(OldPin.data(), qsizetype(OldPin.size())));
        LinkState = PinOldState;
        break;
    case PinOldState:
        armForBlock(*DataPacket1, 1, PinReplyTicks);
        ComPort1->PutString(QByteArray(PinMessage.data(), qsizetype(PinMessage.size())));
        LinkState = PinNewState;
        break;
    case PinNewState:
        EndTransfer();
        ErgebnisDialog->ClearLines();
        ShowMessageDialog(ErgebnisDialog.get(), Caption,
                          {QString(), QStringLiteral("Der Sicherheitscode wurde geändert.")});
        break;
    default:
        break;
    }
}
