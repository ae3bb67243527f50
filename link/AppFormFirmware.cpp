// The main window's part of the firmware update and the PIN change: their dialogs, the port
// list of the firmware start and the transfer after the handshake.
#include "app/AppForm.h"
#include "link/FirmwareDlg.h"
#include "link/LinkConversation.h"
#include "link/NeuePINDlg.h"
#include "link/PortDialogs.h"
#include "serial/SerialPort.h"

#include <QAction>
#include <QComboBox>

void TAppForm::CreateFirmwareAndPin() {
    auto errorBox = [this](const QString& caption, const QStringList& lines) {
        ShowMessageDialog(ErrorDialog.get(), caption, lines);
    };
    FirmwareDlg = std::make_unique<TFirmwareDlg>();
    FirmwareDlg->StartFirmwareUpdate = [this] { Conversation->StartFirmwareUpdate(); };
    FirmwareDlg->ComNumber = [this] { return int(ComPort1->ComNumber()); };
    FirmwareDlg->OnCancelled = [this] { Conversation->StopFirmwareHandshake(); };
    FirmwareDlg->ShowErrorBox = errorBox;
    FirmwareDlg->ShowResultBox = [this](const QString& caption, const QStringList& lines) {
        ShowResult(TLinkConversation::ReadOperation, caption, lines);
    };
    FirmwareDlg->FileDialogProvider = [this](const TFileDialogRequest& request) {
        return FileDialogProvider(request);
    };
    NeuePINDlg = std::make_unique<TNeuePINDlg>();
    NeuePINDlg->ShowErrorBox = errorBox;

    connect(NeueFirmware1, &QAction::triggered, this, &TAppForm::NeueFirmware1Click);
    connect(NewPIN, &QAction::triggered, this, &TAppForm::NewPINExecute);
}

void TAppForm::NeueFirmware1Click() {
    FirmwareDlg->exec();
}

bool TAppForm::RunFirmwarePortChoice(const QStringList& entries) {
    QComboBox* list = WaehleComPortDlg->CBSchnittstellen;
    list->clear();
    list->addItems(entries);
    list->setCurrentIndex(0);
    return WaehleComPortDlg->exec() == mrOk;
}

void TAppForm::RunFirmwareTransfer() {
    // A handshake whose dialog was closed meanwhile loads nothing. The port list may have been
    // answered after "Start" had named the port: the transfer takes the port of the handshake.
    if (!FirmwareDlg->isVisible())
        return;
    FirmwareDlg->FirmwarePortName = QStringLiteral("COM%1").arg(ComPort1->ComNumber());
    FirmwareDlg->RunFirmwareUpdate();
}
