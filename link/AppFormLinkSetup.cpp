// Creation of the window's device link: the serial port, its packet collector and the
// dialogs of the device search and the port choice.
#include "app/AppForm.h"
#include "link/PortDialogs.h"
#include "link/SearchDialogs.h"
#include "serial/DataPacket.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <QLabel>

void TAppForm::CreateDeviceLink() {
    ComPort1 = std::make_unique<TSerialPort>();
    ComPort1->setObjectName(QStringLiteral("ComPort1"));
    ComPort1->Baud = 57600;
    ComPort1->AutoOpen = false;
    ComPort1->OnLost = [this](const QString& text) { ComPort1Lost(text); };

    DataPacket1 = std::make_unique<TDataPacket>();
    DataPacket1->setObjectName(QStringLiteral("DataPacket1"));
    DataPacket1->AutoEnable = false;
    DataPacket1->StartCond = scAnyData;
    DataPacket1->TimeOut = 18;
    DataPacket1->IncludeStrings = true;
    DataPacket1->IgnoreCase = true;
    DataPacket1->FlushOnTimeout = true;
    DataPacket1->SetComPort(ComPort1.get());
    // A step whose next bytes the driver refuses ends its flow with that one message, and
    // leaves no transfer box behind whose time-out would add a second one.
    auto endOnRefusal = [this](const std::function<void()>& step) {
        try {
            step();
        } catch (const ESerialError& e) {
            EndTransfer();
            ShowApplicationError(e.message());
        }
    };
    DataPacket1->OnPacket = [this, endOnRefusal](TDataPacket* sender, const uint8_t* data,
                                                 int size) {
        endOnRefusal([&] { DataPacket1Packet(sender, data, size); });
    };
    DataPacket1->OnTimeout = [this, endOnRefusal](TDataPacket* sender) {
        endOnRefusal([&] { DataPacket1Timeout(sender); });
    };
    // Failures raised inside a collector event, or by a write that failed after it was queued.
    SetSerialErrorSink(ShowApplicationError);

    PortDialog = std::make_unique<TPortDialog>();
    PortDialog->IsPortFree = [this](int n) { return PortAvailable[std::size_t(n - 1)]; };
    PortDialog->OnPortChosen = [this](int n) {
        UsedComPort = quint16(n);
        StatusPanel1->setText(QStringLiteral("Verwendeter COM-Port: COM%1").arg(n));
    };
    SuchenDlg = std::make_unique<TSuchenDlg>();
    KeineAnlageDlg = std::make_unique<TKeineAnlageDlg>();
    WaehleComPortDlg = std::make_unique<TWaehleComPortDlg>(ComPort1.get());
}
