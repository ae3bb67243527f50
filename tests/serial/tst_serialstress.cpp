// Many cycles of opening, packets arriving and closing from the user-interface thread:
// nothing hangs, no event is lost, duplicated or delivered after the port closed.
#include "PortRig.h"
#include "TestHome.h"
#include "serial/ConfigHome.h"

#include <QTest>
#include <QThread>
#include <QTimer>

namespace {

using namespace std::chrono_literals;

constexpr int Com = 2;
constexpr int Cycles = 1000;
constexpr int CycleDigits = 4;
constexpr int PacketSize = CycleDigits + 1; // the cycle and a letter for the packet's place
constexpr auto CloseDuringDialog = 1ms;
constexpr auto DialogShown = 5ms;

QByteArray packetOf(int cycle, int seq) {
    return QByteArray::number(cycle).rightJustified(CycleDigits, '0') + char('a' + seq);
}

} // namespace

class TestSerialStress : public QObject {
    Q_OBJECT
    TestHome home_;

private slots:

    void openReceiveCloseCycles() {
        PortRig rig(Com, PortRig::Start::Closed);
        QVERIFY(rig.ok());
        TSerialPort& port = *rig.port;
        PtyPair& pty = rig.pty;
        QList<QByteArray>& got = rig.packets;
        int cycle = 0;
        bool closed = false; // the port of this cycle has been closed
        bool lateEvent = false;
        int mode = 0; // how this cycle closes
        rig.onEvent = [&] {
            lateEvent |= closed;
            rig.armForBlock(PacketSize, NoTimeOut);
            if (got.size() == 2 && mode == 1)
                port.SetOpen(false);            // closed inside the handler
            if (got.size() == 2 && mode == 2) { // a modal dialog during which the port is closed
                QTimer::singleShot(CloseDuringDialog, [&port] { port.SetOpen(false); });
                rig.showDialogFor(DialogShown);
            }
        };

        int delivered = 0, cutShort = 0;
        rig.armForBlock(PacketSize, NoTimeOut); // later cycles: armed by the last handler
        for (cycle = 0; cycle < Cycles; ++cycle) {
            mode = cycle % 3;
            closed = false;
            got.clear();
            port.SetOpen(true);
            // the first packet is always awaited
            QVERIFY(pty.write(packetOf(cycle, 0)));
            QVERIFY2(QTest::qWaitFor([&] { return !got.isEmpty(); }, 5000),
                     qPrintable(QStringLiteral("cycle %1: first packet lost").arg(cycle)));
            // two more follow at once, then the port closes whatever has arrived
            QVERIFY(pty.write(packetOf(cycle, 1) + packetOf(cycle, 2)));
            if (mode == 0) {
                if (cycle % 2)
                    QCoreApplication::processEvents();
                port.SetOpen(false);
            } else {
                QVERIFY(QTest::qWaitFor([&] { return !port.Open(); }, 5000));
            }
            closed = true;
            QVERIFY(!port.Open());
            // the handler always re-arms: also an event dropped by the closing leaves it armed
            QVERIFY2(rig.packet.Enabled(), qPrintable(QStringLiteral("cycle %1").arg(cycle)));
            QCoreApplication::processEvents();
            QVERIFY2(!lateEvent,
                     qPrintable(QStringLiteral("cycle %1: event after close").arg(cycle)));
            // what arrived is an in-order prefix of what was sent, without repeats
            QCOMPARE(rig.timeouts, 0); // none is armed
            QVERIFY(got.size() <= 3);
            for (int i = 0; i < got.size(); ++i)
                QCOMPARE(got[i], packetOf(cycle, i));
            if (mode != 0)
                QVERIFY(got.size() >= 2);
            delivered += int(got.size());
            cutShort += got.size() < 3 ? 1 : 0;
            QThread::msleep(
                1); // bytes still on their way through the pty land before the next opening's flush
            tcflushMaster(pty);
        }
        QVERIFY(!rig.offUiThread);
        qInfo("%d packets delivered, %d cycles closed before the last packet", delivered, cutShort);
    }

private:
    static void tcflushMaster(PtyPair& pty) { pty.read(1 << 16, 0); }
};

QTEST_GUILESS_MAIN(TestSerialStress)
#include "tst_serialstress.moc"
