#include "PortRig.h"

#include "link/LinkProtocol.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTest>
#include <QThread>
#include <utility>

namespace {

constexpr int ReadWaitMs = 2000;
constexpr int SilenceWaitMs = 300;
constexpr int PacketWaitMs = 3000;
constexpr int TimeoutWaitMs = 5000;

} // namespace

PortRig::PortRig(int com, Start start) : PacketRecorder(serialticks::MonotonicMs) {
    linked_ = linkComPort(com, pty.slavePath());
    port->Baud = 57600;
    port->SetComNumber(uint16_t(com));
    packet.SetComPort(port.get());
    QObject::connect(&trickle_, &QTimer::timeout, [this] { device().write("x"); });
    if (start == Start::Open)
        port->SetOpen(true);
}

QByteArray PortRig::deviceReads(qsizetype count) {
    return device().read(int(count), ReadWaitMs);
}

bool PortRig::deviceHearsNothing() {
    return device().read(1, SilenceWaitMs).isEmpty();
}

bool PortRig::plugNewDevice(int com) {
    plugged_ = std::make_unique<PtyPair>();
    return linkComPort(com, plugged_->slavePath());
}

bool PortRig::waitForPackets(int count) {
    return QTest::qWaitFor([&] { return packets.size() == count; }, PacketWaitMs);
}

bool PortRig::waitForTimeout() {
    return QTest::qWaitFor([&] { return timeouts == 1; }, TimeoutWaitMs);
}

bool PortRig::receivesOk() {
    const QByteArray ok = "ok";
    armForBlock(int(ok.size()), Ticks{LinkProtocol::ChecksumAckTicks});
    return deviceSends(ok) && waitForPackets(1) && packets.first() == ok;
}

void PortRig::letEventLoopRun(std::chrono::milliseconds time) {
    QTest::qWait(int(time.count()));
}

void PortRig::showDialogFor(std::chrono::milliseconds time) {
    QEventLoop dialog; // stands for QDialog::exec()
    QTimer::singleShot(time, &dialog, &QEventLoop::quit);
    dialog.exec();
}

void PortRig::blockThreadFor(std::chrono::milliseconds time) {
    QThread::msleep(static_cast<unsigned long>(time.count()));
}

void PortRig::markTime() {
    markMs_ = serialticks::MonotonicMs();
}

std::chrono::milliseconds PortRig::lastEventSinceMark() const {
    return std::chrono::milliseconds(lastEventMs - markMs_);
}
