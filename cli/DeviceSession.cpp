#include "cli/DeviceSession.h"

#include "cli/StopSignals.h"

#include "link/DeviceLink.h"
#include "link/LinkConversation.h"
#include "serial/DataPacket.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <QEventLoop>

TDeviceSession::TDeviceSession()
    : port_(std::make_unique<TSerialPort>()), packet_(std::make_unique<TDataPacket>()) {
    SetUpDeviceLink(*port_, *packet_, watchdog_);
    conversation_ = std::make_unique<TLinkConversation>(*port_, *packet_, watchdog_, View);
    RouteToConversation(*port_, *packet_, watchdog_, *conversation_);
    // Failures raised inside a collector event, or by a write after it was queued.
    SetSerialErrorSink([this](const QString& text) { View.ShowApplicationError(text); });
}

TDeviceSession::~TDeviceSession() {
    SetSerialErrorSink({});
    conversation_->Cancel();
    port_->SetOpen(false);
}

void TDeviceSession::NamePortBy(const QString& devicePath) {
    port_->GivenDevicePath = devicePath;
    View.FirmwarePortShownAs = devicePath;
}

TExitStatus TDeviceSession::Run(TFlow flow, const std::function<void(TLinkConversation&)>& start) {
    if (const std::optional<TExitStatus> stopped = StopSignalStatus())
        return *stopped; // the signal came before the flow: it does not begin
    QEventLoop loop;
    View.Begin(flow);
    View.Finished = [&loop] { loop.quit(); };
    SetOnStopSignal([this] { View.Stop(*StopSignalStatus()); });
    start(*conversation_);
    if (!View.Outcome())
        loop.exec();
    SetOnStopSignal({});
    View.Finished = {};
    conversation_->Cancel();
    return *View.Outcome();
}
