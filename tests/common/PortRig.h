#pragma once

#include "PacketArming.h"
#include "PtyPair.h"
#include "serial/DataPacket.h"
#include "serial/SerialPort.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

// The main window's pair, ComPort1 and DataPacket1, on a fresh pseudo-terminal published as
// COM`com`; the test plays the device on `device()`. Events are recorded as they come.
struct PortRig {
    PtyPair pty;
    std::unique_ptr<TSerialPort> port = std::make_unique<TSerialPort>();
    TDataPacket packet;
    QList<QByteArray> packets;
    int timeouts = 0;
    int64_t lastEventMs = 0;
    bool offUiThread = false;
    std::function<void()> onEvent; // runs inside the handler, after the event is recorded

    explicit PortRig(int com, bool open = true);

    bool ok() const { return pty.ok() && linked_; }
    bool waitPackets(int count) {
        return QTest::qWaitFor([&] { return packets.size() == count; }, 3000);
    }
    bool waitTimeout() {
        return QTest::qWaitFor([&] { return timeouts == 1; }, 5000);
    }
    void armSize(int size, int ticks) { armForSize(packet, size, ticks); }
    void armLine() { armForLine(packet); }
    // Arms for two bytes and lets the device send "ok": true when exactly that packet came.
    bool receivesOk();

    // Runs one step of a script such as "size 2 36", "send ok", "wait 1"; the ones starting
    // with "?" check the state (see PortRig.cpp).
    void step(const QByteArray& line);
    // Runs `steps`, `handler` inside the first event's handler, then compares the packets.
    void runScript(const QList<QByteArray>& steps, const QList<QByteArray>& handler,
                   const QList<QByteArray>& expected);

private:
    PtyPair& device() { return plugged_ ? *plugged_ : pty; }
    bool linked_ = false;
    std::unique_ptr<PtyPair> plugged_;
    QString error_;
    int64_t markMs_ = 0;
    QTimer trickle_;
};
