// Creation of the window's device link: the serial port, its packet collector, the firmware
// watchdog, the conversation over them and the dialogs of the device search and port choice.
#include "app/AppForm.h"
#include "app/InputHold.h"
#include "link/DeviceLink.h"
#include "link/LinkConversation.h"
#include "link/PortDialogs.h"
#include "link/SearchDialogs.h"
#include "serial/DataPacket.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <QTimer>

void TAppForm::CreateDeviceLink() {
    ComPort1 = std::make_unique<TSerialPort>();
    ComPort1->setObjectName(QStringLiteral("ComPort1"));
    DataPacket1 = std::make_unique<TDataPacket>();
    DataPacket1->setObjectName(QStringLiteral("DataPacket1"));
    TimerFWUpdate = new QTimer(this);
    TimerFWUpdate->setObjectName(QStringLiteral("TimerFWUpdate"));
    SetUpDeviceLink(*ComPort1, *DataPacket1, *TimerFWUpdate);

    InputHold = std::make_unique<TInputHold>();
    Conversation = std::make_unique<TLinkConversation>(*ComPort1, *DataPacket1, *TimerFWUpdate,
                                                       static_cast<TLinkView&>(*this));
    RouteToConversation(*ComPort1, *DataPacket1, *TimerFWUpdate, *Conversation);
    // The window's own packet handler hands the packet on.
    DataPacket1->OnPacket = [this](TDataPacket* sender, const uint8_t* data, int size) {
        DataPacket1Packet(sender, data, size);
    };
    // Failures raised inside a collector event, or by a write that failed after it was queued.
    SetSerialErrorSink(::ShowApplicationError);

    PortDialog = std::make_unique<TPortDialog>();
    PortDialog->IsPortFree = [this](int n) {
        return Conversation->PortAvailable[std::size_t(n - 1)];
    };
    PortDialog->OnPortChosen = [this](int n) { Conversation->ChoosePort(n); };
    SuchenDlg = std::make_unique<TSuchenDlg>();
    KeineAnlageDlg = std::make_unique<TKeineAnlageDlg>();
    WaehleComPortDlg = std::make_unique<TWaehleComPortDlg>(ComPort1.get());
}
