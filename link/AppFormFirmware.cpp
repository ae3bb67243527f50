// The main window's part of the firmware update and the PIN change: their dialogs, the
// loading-mode handshake with its watchdog, and the PIN exchange after ENQ.
#include "app/AppForm.h"
#include "app/WarningBoxes.h"
#include "link/FirmwareDlg.h"
#include "link/LinkArming.h"
#include "link/NeuePINDlg.h"
#include "link/PortDialogs.h"
#include "serial/ComPortMap.h"
#include "serial/DataPacket.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <QAction>
#include <QComboBox>
#include <QThread>
#include <QTimer>

namespace {

constexpr int FirmwareWatchdogMs = 10000;
constexpr int HandshakeTicks = 18;
constexpr int ScanHoldMs = 100; // a port found by the scan stays open this long
const QString CannotStart = QStringLiteral("\nFirmware Update kann nicht gestartet werden.");

} // namespace

void TAppForm::CreateFirmwareAndPin() {
    TimerFWUpdate = new QTimer(this);
    TimerFWUpdate->setObjectName(QStringLiteral("TimerFWUpdate"));
    TimerFWUpdate->setInterval(FirmwareWatchdogMs);
    TimerFWUpdate->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    connect(TimerFWUpdate, &QTimer::timeout, this, &TAppForm::TimerFWUpdateTimer);

    auto errorBox = [this](const QString& caption, const QStringList& lines) {
        ShowMessageDialog(ErrorDialog.get(), caption, lines);
    };
    FirmwareDlg = std::make_unique<TFirmwareDlg>();
    FirmwareDlg->StartFirmwareUpdate = [this] { StartFirmwareUpdate(); };
    FirmwareDlg->ComNumber = [this] { return int(ComPort1->ComNumber()); };
    FirmwareDlg->OnCancelled = [this] { StopFirmwareHandshake(); };
    FirmwareDlg->ShowErrorBox = errorBox;
    FirmwareDlg->ShowResultBox = [this](const QString& caption, const QStringList& lines) {
        ErgebnisDialog->ClearLines();
        ShowMessageDialog(ErgebnisDialog.get(), caption, lines);
    };
    FirmwareDlg->FileDialogProvider = [this](const TFileDialogRequest& request) {
        return FileDialogProvider(request);
    };
    NeuePINDlg = std::make_unique<TNeuePINDlg>();
    NeuePINDlg->ShowErrorBox = errorBox;

    connect(NeueFirmware1, &QAction::triggered, this, &TAppForm::NeueFirmware1Click);
    connect(NewPIN, &QAction::triggered, this, &TAppForm::NewPINExecute);
}

void TAppForm::runFirmwareTransfer() {
    // A handshake whose dialog was closed meanwhile loads nothing.
    if (FirmwareDlg->isVisible())
        FirmwareDlg->RunFirmwareUpdate();
}

void TAppForm::NeueFirmware1Click() {
    FirmwareDlg->exec();
}

void TAppForm::StartFirmwareUpdate() {
    try {
        if (UsedComPort == 0) {
            // Offer the ports that can be opened now.
            QComboBox* list = WaehleComPortDlg->CBSchnittstellen;
            list->clear();
            bool found = false;
            RefreshComPortMap(); // an adapter may have been plugged in since the last search
            for (int n = 1; n <= MaxComNumber; ++n) {
                if (!IsPortAvailable(n))
                    continue;
                try {
                    ComPort1->SetComNumber(quint16(n));
                    ComPort1->SetOpen(true);
                } catch (const ESerialError&) {
                    ComPort1->SetOpen(false);
                    continue;
                }
                found = true;
                list->addItem(QStringLiteral("COM%1").arg(n));
                QThread::msleep(ScanHoldMs);
                ComPort1->SetOpen(false);
            }
            if (!found) {
                ShowWarningBox(FirmwareDlg.get(),
                               QStringLiteral("Keine freie COM-Schnittstelle gefunden.") +
                                   CannotStart);
                return;
            }
            list->setCurrentIndex(0);
            if (WaehleComPortDlg->exec() != mrOk) {
                ShowWarningBox(FirmwareDlg.get(),
                               QStringLiteral("Keine COM-Schnittstelle gewählt, oder die\n"
                                              "Schnittstelle ist belegt.") +
                                   CannotStart);
                return;
            }
        } else {
            ComPort1->SetComNumber(UsedComPort);
        }
        ComPort1->SetOpen(true); // an open port stays open
    } catch (const ESerialError&) {
        ShowWarningBox(FirmwareDlg.get(),
                       QStringLiteral("COM-Schnittstelle kann nicht initialisiert werden.") +
                           CannotStart);
        return;
    }
    // Not disarmed first: a collector that is still armed keeps its arming.
    DataPacket1->PacketSize = 1;
    DataPacket1->EndCond = ecPacketSize;
    DataPacket1->TimeOut = HandshakeTicks;
    DataPacket1->SetEnabled(true);
    ComPort1->PutString(LinkProtocol::LoadCommand);
    LinkState = LoadPromptState;
    if (!TimerFWUpdate->isActive()) // a running watchdog keeps its 10 seconds
        TimerFWUpdate->start();
}

void TAppForm::TimerFWUpdateTimer() {
    TimerFWUpdate->stop();
    DataPacket1->SetEnabled(false);
    ShowMessageDialog(ErrorDialog.get(), QStringLiteral("Fehler"),
                      {QStringLiteral("Fehler!"),
                       QStringLiteral("Firmware Update konnte nicht gestartet werden.")});
}

void TAppForm::StopFirmwareHandshake() {
    if (LinkState != LoadPromptState && LinkState != LoadReadyState)
        return;
    TimerFWUpdate->stop();
    DataPacket1->SetEnabled(false);
}
