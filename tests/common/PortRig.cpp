#include "PortRig.h"

#include "serial/SerialError.h"
#include "serial/Ticks.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHash>
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

// A step is a verb and its arguments; "send" comes from the device, "put" from the port, and a
// refusal of the port must be checked by "?error" (so must what reached the error display).
void PortRig::step(const QByteArray& line) {
    const QList<QByteArray> w = line.split(' ');
    const int n = w.value(1).toInt();
    const QByteArray rest = line.mid(w.first().size() + 1);
    const auto guarded = [this](const std::function<void()>& action) {
        try {
            action();
        } catch (const ESerialError& e) {
            error_ = e.message();
        }
    };
    const QHash<QByteArray, std::function<void()>> verbs{
        {"open", [&] { port->SetOpen(true); }},
        {"close", [&] { port->SetOpen(false); }},
        {"size", [&] { armSize(n, w.value(2).toInt()); }},
        {"line", [&] { armLine(); }},
        {"send", [&] { QVERIFY(device().write(rest)); }},
        {"put", [&] { guarded([&] { port->PutString(rest); }); }},
        {"putc", [&] { guarded([&] { port->PutChar(uint8_t(n)); }); }},
        {"outsize", [&] { port->OutSize = uint16_t(n); }},
        {"com", [&] { port->SetComNumber(uint16_t(n)); }},
        {"plug", // a new device published as COM<n>
         [&] {
             plugged_ = std::make_unique<PtyPair>();
             QVERIFY(linkComPort(n, plugged_->slavePath()));
         }},
        {"pause", [&] { QTest::qWait(n); }},
        {"sleep", [&] { QThread::msleep(n); }}, // the event loop does not run
        {"mark", [&] { markMs_ = serialticks::MonotonicMs(); }},
        {"trickle", [&] { n ? trickle_.start(n) : trickle_.stop(); }}, // a byte every n ms
        {"flushin", [&] { guarded([&] { port->FlushInBuffer(); }); }},
        {"flushout", [&] { guarded([&] { port->FlushOutBuffer(); }); }},
        {"detach", [&] { packet.SetComPort(nullptr); }},
        {"attach", [&] { packet.SetComPort(port.get()); }},
        {"dialog",
         [&] {
             QEventLoop dialog; // stands for QDialog::exec()
             QTimer::singleShot(n, &dialog, &QEventLoop::quit);
             dialog.exec();
         }},
        {"later", // later <ms> <step>
         [&] { QTimer::singleShot(n, [this, rest] { step(rest.mid(rest.indexOf(' ') + 1)); }); }},
        {"throw", [&] { throw ESerialError(QString::fromUtf8(rest)); }},
        {"destroy", [&] { port.reset(); }},
        {"wait", [&] { QVERIFY(waitPackets(n)); }},
        {"timeout", [&] { QVERIFY(waitTimeout()); }},
        {"?open", [&] { QCOMPARE(port->Open(), n != 0); }},
        {"?enabled", [&] { QCOMPARE(packet.Enabled(), n != 0); }},
        {"?packets", [&] { QCOMPARE(packets.size(), qsizetype(n)); }},
        {"?timeouts", [&] { QCOMPARE(timeouts, n); }},
        {"?sent", [&] { QCOMPARE(device().read(int(rest.size()), 2000), rest); }},
        {"?silent", [&] { QCOMPARE(device().read(1, 300), QByteArray()); }},
        {"?error", [&] { QCOMPARE(std::exchange(error_, {}), QString::fromUtf8(rest)); }},
        {"?since", // the last event came no sooner than <n> ticks after the mark
         [&] {
             QVERIFY2(lastEventMs - markMs_ >= n * 55,
                      qPrintable(QString::number(lastEventMs - markMs_)));
         }},
        {"?attached", [&] { QCOMPARE(packet.ComPort() != nullptr, n != 0); }},
    };
    const auto verb = verbs.find(w.first());
    if (verb == verbs.end())
        QFAIL(line.constData());
    verb.value()();
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
