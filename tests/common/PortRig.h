#pragma once

#include "PacketRecorder.h"
#include "PtyPair.h"
#include "serial/SerialPort.h"

#include <QEventLoop>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <memory>

// The window's ComPort1 and DataPacket1, closed, on a fresh pty published as COM`com`.
struct PortRig : PacketRecorder {
    PtyPair pty;
    std::unique_ptr<TSerialPort> port = std::make_unique<TSerialPort>();

    explicit PortRig(int com)
        : PacketRecorder(serialticks::MonotonicMs), linked_(linkComPort(com, pty.slavePath())) {
        port->Baud = 57600;
        port->SetComNumber(uint16_t(com));
        packet.SetComPort(port.get());
    }

    bool ok() const { return pty.isOpen() && linked_; }

    // The device's side, on the device plugged in last.
    bool deviceSends(const QByteArray& bytes) { return device().send(bytes.toStdString()); }
    // A new device published as COM`com`, as if an adapter were plugged in.
    bool plugNewDevice(int com) {
        plugged_ = std::make_unique<PtyPair>();
        return linkComPort(com, plugged_->slavePath());
    }

    bool waitForPackets(int count) {
        return QTest::qWaitFor([&] { return packets.size() == count; }, PacketWaitMs);
    }
    // Arms for two bytes and lets the device send "ok": true when exactly that packet came.
    bool receivesOk() {
        const QByteArray ok = "ok";
        armForSizeOf(ok, LongWait);
        return deviceSends(ok) && waitForPackets(1) && packets.first() == ok;
    }

    // The user-interface thread idles, runs a modal dialog or is busy without an event loop.
    void letEventLoopRun(std::chrono::milliseconds time) { QTest::qWait(int(time.count())); }
    void showDialogFor(std::chrono::milliseconds time) {
        QEventLoop dialog; // stands for QDialog::exec()
        QTimer::singleShot(time, &dialog, &QEventLoop::quit);
        dialog.exec();
    }
    void blockThreadFor(std::chrono::milliseconds time) { QThread::msleep(ulong(time.count())); }

private:
    static constexpr int PacketWaitMs = 3000;

    PtyPair& device() { return plugged_ ? *plugged_ : pty; }

    bool linked_ = false;
    std::unique_ptr<PtyPair> plugged_;
};
