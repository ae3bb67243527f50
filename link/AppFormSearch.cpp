// The device search over COM1 to COM20, the free-port scan and the manual port choice.
#include "app/AppForm.h"
#include "link/LinkArming.h"
#include "link/LinkProtocol.h"
#include "link/PortDialogs.h"
#include "link/SearchDialogs.h"
#include "serial/ComPortMap.h"
#include "serial/DataPacket.h"
#include "serial/OpenFailure.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <QApplication>
#include <QLabel>
#include <QMetaObject>
#include <QThread>

namespace {

constexpr int ProbeSettleMs = 200; // after opening, before the identification request
constexpr int ScanPauseMs = 150;   // per port of the free-port scan
constexpr int FirmwareSettleMs = 100;

// A port that does not open is skipped without a word, but the no-device dialog names the
// first one the user may not open, and how to get the permission.
void notePermissionFailure(TKeineAnlageDlg& dialog, const ESerialError& failure) {
    const auto* open = dynamic_cast<const EPortOpenError*>(&failure);
    if (open && open->failure() == TOpenFailure::NoPermission &&
        dialog.lblBerechtigung->text().isEmpty())
        dialog.SetPermissionHint(open->message());
}

} // namespace

void TAppForm::SearchNextPort() {
    for (;;) {
        if (SearchPort >= MaxComNumber) {
            // Give up: no port answered.
            if (KeineAnlageDlg->exec() == mrRetry) {
                RunDeviceSearch(true);
            } else {
                EndSearch();
                UsedComPort = 0;
                ComPort1->SetOpen(false);
                StatusPanel0->setText(QString());
                StatusPanel1->setText(QString());
            }
            return;
        }
        ++SearchPort;
        if (!IsPortAvailable(SearchPort))
            continue;
        try {
            ComPort1->SetComNumber(SearchPort);
            ComPort1->SetOpen(true);
        } catch (const ESerialError& e) {
            ComPort1->SetOpen(false); // held by another program, or the line cannot be set
            notePermissionFailure(*KeineAnlageDlg, e);
            continue;
        }
        SuchenDlg->lblComPortNumber->setText(SearchLabelPrefix +
                                             QStringLiteral("COM%1").arg(ComPort1->ComNumber()));
        QThread::msleep(ProbeSettleMs);
        ComPort1->FlushInBuffer();
        armForLine(*DataPacket1);
        ComPort1->PutString(LinkProtocol::IdentifyCommand);
        LinkState = IdentifyState;
        return;
    }
}

void TAppForm::PostSearchContinueMessage() {
    QMetaObject::invokeMethod(this, &TAppForm::SearchContinueMessage, Qt::QueuedConnection);
}

void TAppForm::PostFirmwareReadyMessage() {
    QMetaObject::invokeMethod(this, &TAppForm::FirmwareReadyMessage, Qt::QueuedConnection);
}

void TAppForm::SearchContinueMessage() {
    try {
        ComPort1->SetOpen(false);
        SearchNextPort();
    } catch (const ESerialError& e) {
        ShowApplicationError(e.message());
        EndSearch(); // no further port is probed
    }
}

void TAppForm::FirmwareReadyMessage() {
    try {
        ComPort1->SetOpen(false);
        QThread::msleep(FirmwareSettleMs);
        runFirmwareTransfer();
        // The device restarts with the new firmware: find it again and read its configuration.
        LinkOperation = ReadOperation;
        RunDeviceSearch(true);
    } catch (const ESerialError& e) {
        ShowApplicationError(e.message());
    }
}

bool TAppForm::ScanFreePorts() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool found = false;
    for (int n = 1; n <= MaxComNumber; ++n) {
        bool numberSet = true;
        try {
            ComPort1->SetComNumber(quint16(n));
        } catch (const ESerialError&) {
            numberSet = false; // the port open before could not be reopened under this number
        }
        if (numberSet) {
            try {
                ComPort1->SetOpen(true);
            } catch (const ESerialError&) {
            }
        }
        const bool opened = ComPort1->Open();
        if (opened) {
            ComPort1->SetOpen(false);
            found = true;
        }
        PortAvailable[std::size_t(n - 1)] = opened;
        QThread::msleep(ScanPauseMs);
    }
    QApplication::restoreOverrideCursor();
    return found;
}

void TAppForm::COMItem1Execute() {
    if (ScanFreePorts()) {
        PortDialog->exec();
        return;
    }
    ShowMessageDialog(ErrorDialog.get(), QStringLiteral("Schnittstellenfehler"),
                      {QStringLiteral("Fehler!"),
                       QStringLiteral("Es wurde keine freie Schnittstelle gefunden.")});
}

void TAppForm::RunDeviceSearch(bool clearPortLabel) {
    try {
        SearchPort = 0;
        SearchRunning = true;
        RefreshComPortMap(); // an adapter plugged in since the last search gets its number
        KeineAnlageDlg->SetPermissionHint(QString());
        if (clearPortLabel)
            SuchenDlg->lblComPortNumber->setText(QString());
        SearchNextPort();
        if (SearchRunning && !SuchenDlg->isVisible()) {
            SuchenDlg->DisableButtons();
            SuchenDlg->exec();
        }
    } catch (const ESerialError& e) {
        ShowApplicationError(e.message());
        EndSearch();
    }
}

void TAppForm::EndSearch() {
    SearchRunning = false;
    SuchenDlg->done(mrCancel);
}

void TAppForm::CloseDevicePort() {
    if (!ComPort1->Open())
        return;
    ComPort1->SetOpen(false);
    QThread::msleep(1000); // the device's side of the line settles before the program ends
}
