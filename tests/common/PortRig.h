#pragma once

#include "PtyPair.h"
#include "TickCount.h"
#include "serial/DataPacket.h"
#include "serial/SerialPort.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

// The main window's pair, ComPort1 and DataPacket1, on a fresh pseudo-terminal published as
// COM`com`; the test plays the device. Events and reported serial errors are recorded as they
// come.
struct PortRig {
    enum class Start { Open, Closed };

    PtyPair pty;
    std::unique_ptr<TSerialPort> port = std::make_unique<TSerialPort>();
    TDataPacket packet;
    QList<QByteArray> packets;
    int timeouts = 0;
    QStringList reportedErrors; // what reached the error display
    bool offUiThread = false;
    std::function<void()> onEvent; // runs inside the handler, after the event is recorded

    explicit PortRig(int com, Start start = Start::Open);
    ~PortRig();

    bool ok() const { return pty.ok() && linked_; }

    void armForBlock(int size, Ticks ticks);
    void armForLine();
    // `handler` runs inside the handler of the first packet or time-out.
    void onFirstEvent(std::function<void()> handler);

    // The device's side, on the device plugged in last.
    bool deviceSends(const QByteArray& bytes) { return device().write(bytes); }
    QByteArray deviceReads(qsizetype count);
    bool deviceHearsNothing();
    // A new device published as COM`com`, as if an adapter were plugged in.
    bool plugNewDevice(int com);
    // The device sends a byte every `interval` until stopTrickle().
    void trickleBytes(std::chrono::milliseconds interval) { trickle_.start(interval); }
    void stopTrickle() { trickle_.stop(); }

    bool waitForPackets(int count);
    bool waitForTimeout();
    // Arms for two bytes and lets the device send "ok": true when exactly that packet came.
    bool receivesOk();

    // The user-interface thread idles, runs a modal dialog or is busy without an event loop.
    void letEventLoopRun(std::chrono::milliseconds time);
    void showDialogFor(std::chrono::milliseconds time);
    void blockThreadFor(std::chrono::milliseconds time);

    void markTime();
    std::chrono::milliseconds lastEventSinceMark() const;
    QStringList takeReportedErrors();

private:
    PtyPair& device() { return plugged_ ? *plugged_ : pty; }
    void recordEvent();

    bool linked_ = false;
    std::unique_ptr<PtyPair> plugged_;
    int64_t markMs_ = 0;
    int64_t lastEventMs_ = 0;
    QTimer trickle_;
};
