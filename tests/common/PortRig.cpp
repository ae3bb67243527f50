#include "PortRig.h"

#include <QEventLoop>

PortRig::PortRig(int com, Start start) : PacketRecorder(serialticks::MonotonicMs) {
    linked_ = linkComPort(com, pty.slavePath());
    port->Baud = 57600;
    port->SetComNumber(uint16_t(com));
    packet.SetComPort(port.get());
    if (start == Start::Open)
        port->SetOpen(true);
}

bool PortRig::plugNewDevice(int com) {
    plugged_ = std::make_unique<PtyPair>();
    return linkComPort(com, plugged_->slavePath());
}

bool PortRig::receivesOk() {
    const QByteArray ok = "ok";
    armForSizeOf(ok, LongWait);
    return deviceSends(ok) && waitForPackets(1) && packets.first() == ok;
}

void PortRig::showDialogFor(std::chrono::milliseconds time) {
    QEventLoop dialog; // stands for QDialog::exec()
    QTimer::singleShot(time, &dialog, &QEventLoop::quit);
    dialog.exec();
}
