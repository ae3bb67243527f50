// Creation of the window's device link: the serial port, its packet collector, the firmware
// watchdog, the conversation over them and the dialogs of the device search and port choice.
#include "app/AppForm.h"
#include "app/InputHold.h"
#include "link/LinkArming.h"
#include "link/LinkConversation.h"
#include "link/PortDialogs.h"
#include "link/SearchDialogs.h"
#include "serial/DataPacket.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <QTimer>

namespace {
constexpr int FirmwareWatchdogMs = 10000;
}

void TAppForm::CreateDeviceLink() {
    ComPort1 = std::make_unique<TSerialPort>();
    ComPort1->setObjectName(QStringLiteral("ComPort1"));
    ComPort1->Baud = 57600;
    ComPort1->AutoOpen = false;

    DataPacket1 = std::make_unique<TDataPacket>();
    DataPacket1->setObjectName(QStringLiteral("DataPacket1"));
    setUpCollector(*DataPacket1);
    DataPacket1->SetComPort(ComPort1.get());

    TimerFWUpdate = new QTimer(this);
    TimerFWUpdate->setObjectName(QStringLiteral("TimerFWUpdate"));
    TimerFWUpdate->setInterval(FirmwareWatchdogMs);
    TimerFWUpdate->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early

    InputHold = std::make_unique<TInputHold>();
    Conversation = std::make_unique<TLinkConversation>(*ComPort1, *DataPacket1, *TimerFWUpdate,
                                                       static_cast<TLinkView&>(*this));
    ComPort1->OnLost = [this](const QString& text) { Conversation->ComPort1Lost(text); };
    DataPacket1->OnPacket = [this](TDataPacket* sender, const uint8_t* data, int size) {
        DataPacket1Packet(sender, data, size);
    };
    DataPacket1->OnTimeout = [this](TDataPacket* sender) {
        Conversation->DataPacket1Timeout(sender);
    };
    connect(TimerFWUpdate, &QTimer::timeout, Conversation.get(),
            [this] { Conversation->TimerFWUpdateTimer(); });
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
