#pragma once

#include "cli/ExitStatus.h"
#include "cli/TerminalView.h"

#include <QTimer>
#include <functional>
#include <memory>

class TDataPacket;
class TLinkConversation;
class TSerialPort;

// The serial port, its packet collector, the firmware watchdog and the conversation on them,
// set up as the window sets them up, with the terminal as the view.
class TDeviceSession {
public:
    TDeviceSession();
    ~TDeviceSession();
    TDeviceSession(const TDeviceSession&) = delete;
    TDeviceSession& operator=(const TDeviceSession&) = delete;

    TTerminalView View;
    TLinkConversation& Conversation() { return *conversation_; }

    // The device the user gave by its path (--device): every message names it so, not COM1.
    void NamePortBy(const QString& devicePath);

    // Starts a flow with `start` and runs the event loop until the view has its outcome;
    // then the conversation's pending steps end, so nothing more goes out.
    TExitStatus Run(TFlow flow, const std::function<void(TLinkConversation&)>& start);

private:
    std::unique_ptr<TSerialPort> port_;
    std::unique_ptr<TDataPacket> packet_;
    QTimer watchdog_;
    std::unique_ptr<TLinkConversation> conversation_;
};
