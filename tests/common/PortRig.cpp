#include "PortRig.h"

#include "serial/SerialError.h"
#include "serial/Ticks.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QScopeGuard>
#include <QTest>
#include <QThread>
#include <utility>

PortRig::PortRig(int com, bool open) {
    linked_ = linkComPort(com, pty.slavePath());
    port->Baud = 57600;
    port->SetComNumber(uint16_t(com));
    packet.AutoEnable = false;
    packet.StartCond = scAnyData;
    packet.SetComPort(port.get());
    const auto record = [this] {
        offUiThread |= QThread::currentThread() != qApp->thread();
        lastEventMs = serialticks::MonotonicMs();
        if (onEvent)
            onEvent();
    };
    packet.OnPacket = [this, record](TDataPacket*, const uint8_t* data, int size) {
        packets.append(QByteArray(reinterpret_cast<const char*>(data), size));
        record();
    };
    packet.OnTimeout = [this, record](TDataPacket*) {
        ++timeouts;
        record();
    };
    QObject::connect(&trickle_, &QTimer::timeout, [this] { device().write("x"); });
    if (open)
        port->SetOpen(true);
}

bool PortRig::receivesOk() {
    armSize(2, 36);
    device().write("ok");
    return waitPackets(1) && packets.first() == "ok";
}

// Steps: open, close, size <bytes> <ticks>, line, send <bytes> (from the device),
// put <bytes> / putc <code> (from the port; a refusal must be checked by ?error), outsize <n>,
// com <n>, plug <n> (a new device published as COMn), pause <ms> (event loop runs),
// sleep <ms> (it does not), mark, trickle <ms> (the device sends a byte every <ms>),
// flushin, flushout, detach / attach (the packet), dialog <ms> (a nested event loop),
// later <ms> <step>, throw <text> (as the handler), destroy (the port), wait <packets>, timeout
// (waits for the first time-out). Checks: ?open, ?enabled, ?packets, ?timeouts, ?sent <bytes>,
// ?silent, ?error <text> (also what reached the error display), ?since <ticks> (the last event came
// no sooner after the mark), ?attached.
void PortRig::step(const QByteArray& line) {
    const QList<QByteArray> w = line.split(' ');
    const auto arg = [&](int i) { return w.value(i).toInt(); };
    const QByteArray verb = w.first();
    const QByteArray rest = line.mid(verb.size() + 1);
    const auto guarded = [this](const std::function<void()>& action) {
        try {
            action();
        } catch (const ESerialError& e) {
            error_ = e.message();
        }
    };
    if (verb == "open")
        port->SetOpen(true);
    else if (verb == "close")
        port->SetOpen(false);
    else if (verb == "size")
        armSize(arg(1), arg(2));
    else if (verb == "line")
        armLine();
    else if (verb == "send")
        QVERIFY(device().write(rest));
    else if (verb == "put")
        guarded([&] { port->PutString(rest); });
    else if (verb == "putc")
        guarded([&] { port->PutChar(uint8_t(arg(1))); });
    else if (verb == "outsize")
        port->OutSize = arg(1);
    else if (verb == "com")
        port->SetComNumber(uint16_t(arg(1)));
    else if (verb == "plug") {
        plugged_ = std::make_unique<PtyPair>();
        QVERIFY(linkComPort(arg(1), plugged_->slavePath()));
    } else if (verb == "pause")
        QTest::qWait(arg(1));
    else if (verb == "sleep")
        QThread::msleep(arg(1));
    else if (verb == "mark")
        markMs_ = serialticks::MonotonicMs();
    else if (verb == "trickle")
        arg(1) ? trickle_.start(arg(1)) : trickle_.stop();
    else if (verb == "flushin")
        guarded([&] { port->FlushInBuffer(); });
    else if (verb == "flushout")
        guarded([&] { port->FlushOutBuffer(); });
    else if (verb == "detach")
        packet.SetComPort(nullptr);
    else if (verb == "attach")
        packet.SetComPort(port.get());
    else if (verb == "dialog") {
        QEventLoop dialog; // stands for QDialog::exec()
        QTimer::singleShot(arg(1), &dialog, &QEventLoop::quit);
        dialog.exec();
    } else if (verb == "later")
        QTimer::singleShot(arg(1), [this, rest] { step(rest.mid(rest.indexOf(' ') + 1)); });
    else if (verb == "throw")
        throw ESerialError(QString::fromUtf8(rest));
    else if (verb == "destroy")
        port.reset();
    else if (verb == "wait")
        QVERIFY(waitPackets(arg(1)));
    else if (verb == "timeout")
        QVERIFY(waitTimeout());
    else if (verb == "?open")
        QCOMPARE(port->Open(), arg(1) != 0);
    else if (verb == "?enabled")
        QCOMPARE(packet.Enabled(), arg(1) != 0);
    else if (verb == "?packets")
        QCOMPARE(packets.size(), qsizetype(arg(1)));
    else if (verb == "?timeouts")
        QCOMPARE(timeouts, arg(1));
    else if (verb == "?sent")
        QCOMPARE(device().read(int(rest.size()), 2000), rest);
    else if (verb == "?silent")
        QCOMPARE(device().read(1, 300), QByteArray());
    else if (verb == "?error")
        QCOMPARE(std::exchange(error_, {}), QString::fromUtf8(rest));
    else if (verb == "?since")
        QVERIFY2(lastEventMs - markMs_ >= arg(1) * 55,
                 qPrintable(QString::number(lastEventMs - markMs_)));
    else if (verb == "?attached")
        QCOMPARE(packet.ComPort() != nullptr, arg(1) != 0);
    else
        QFAIL(line.constData());
}

void PortRig::runScript(const QList<QByteArray>& steps, const QList<QByteArray>& handler,
                        const QList<QByteArray>& expected) {
    SetSerialErrorSink([this](const QString& text) {
        offUiThread |= QThread::currentThread() != qApp->thread();
        error_ = text;
    });
    const auto noSink = qScopeGuard([] { SetSerialErrorSink(nullptr); });
    onEvent = [&] {
        if (packets.size() + timeouts == 1)
            for (const QByteArray& line : handler)
                step(line);
    };
    for (const QByteArray& line : steps) {
        step(line);
        if (QTest::currentTestFailed())
            QFAIL(line.constData());
    }
    QCOMPARE(packets, expected);
    QVERIFY(!offUiThread);
    QCOMPARE(error_, QString()); // every refusal is expected by an ?error step
}
