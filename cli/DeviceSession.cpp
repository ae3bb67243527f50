#include "cli/DeviceSession.h"

#include "link/LinkArming.h"
#include "link/LinkConversation.h"
#include "serial/DataPacket.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <QEventLoop>

namespace {
constexpr int FirmwareWatchdogMs = 10000; // "L" must come within this after "U\r"
}

TDeviceSession::TDeviceSession()
    : port_(std::make_unique<TSerialPort>()), packet_(std::make_unique<TDataPacket>()) {
    port_->Baud = 57600;
    port_->AutoOpen = false;
    setUpCollector(*packet_);
    packet_->SetComPort(port_.get());
    watchdog_.setInterval(FirmwareWatchdogMs);
    watchdog_.setTimerType(Qt::PreciseTimer);
    conversation_ = std::make_unique<TLinkConversation>(*port_, *packet_, watchdog_, View);

    port_->OnLost = [this](const QString& text) { conversation_->ComPort1Lost(text); };
    packet_->OnPacket = [this](TDataPacket* sender, const uint8_t* data, int size) {
        conversation_->DataPacket1Packet(sender, data, size);
    };
    packet_->OnTimeout = [this](TDataPacket* sender) { conversation_->DataPacket1Timeout(sender); };
    QObject::connect(&watchdog_, &QTimer::timeout, conversation_.get(),
                     [this] { conversation_->TimerFWUpdateTimer(); });
    // Failures raised inside a collector event, or by a write after it was queued.
    SetSerialErrorSink([this](const QString& text) { View.ShowApplicationError(text); });
}

TDeviceSession::~TDeviceSession() {
    SetSerialErrorSink({});
    conversation_->Cancel();
    port_->SetOpen(false);
}

TExitStatus TDeviceSession::Run(TFlow flow, const std::function<void(TLinkConversation&)>& start) {
    QEventLoop loop;
    View.Begin(flow);
    View.Finished = [&loop] { loop.quit(); };
    start(*conversation_);
    if (!View.Outcome())
        loop.exec();
    View.Finished = {};
    conversation_->Cancel();
    return *View.Outcome();
}
