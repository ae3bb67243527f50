// Many cycles of opening, packets arriving and closing from the user-interface thread:
// nothing hangs, no event is lost, duplicated or delivered after the port closed.
#include "PortRig.h"
#include "TestHome.h"
#include "serial/ConfigHome.h"

#include <QTest>
#include <QTimer>

namespace {

using namespace std::chrono_literals;

constexpr int Com = 2;
constexpr int Cycles = 1000;
constexpr int CycleDigits = 4;
constexpr int PacketSize = CycleDigits + 1; // the cycle and a letter for the packet's place
constexpr int PacketsSent = 3;              // per cycle
constexpr int ClosedAfter = 2;              // packets, when the handler closes the port
constexpr int CloseWaitMs = 5000;
constexpr auto CloseDuringDialog = 1ms;
constexpr auto DialogShown = 5ms;
constexpr auto BytesInFlight = 1ms; // bytes on their way through the pty land meanwhile

// Who closes the port once the first packet has come and the others are sent.
enum class Closing { ByTheTest, InTheHandler, DuringTheHandlersDialog };
constexpr int ClosingKinds = 3;

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
        Closing closing = Closing::ByTheTest;
        bool closed = false; // the port of this cycle has been closed
        bool lateEvent = false;
        rig.onEvent = [&] {
            lateEvent |= closed;
            rig.armForBlock(PacketSize, NoTimeOut);
            if (rig.packets.size() != ClosedAfter)
                return;
            if (closing == Closing::InTheHandler)
                rig.port->SetOpen(false);
            if (closing == Closing::DuringTheHandlersDialog) {
                QTimer::singleShot(CloseDuringDialog, [&rig] { rig.port->SetOpen(false); });
                rig.showDialogFor(DialogShown);
            }
        };

        int delivered = 0, cutShort = 0;
        rig.armForBlock(PacketSize, NoTimeOut); // later cycles: armed by the last handler
        for (int cycle = 0; cycle < Cycles; ++cycle) {
            closing = Closing(cycle % ClosingKinds);
            closed = false;
            rig.packets.clear();
            rig.port->SetOpen(true);
            QVERIFY(rig.deviceSends(packetOf(cycle, 0)));
            QVERIFY2(rig.waitForPackets(1),
                     qPrintable(QStringLiteral("cycle %1: first packet lost").arg(cycle)));
            QVERIFY(rig.deviceSends(packetOf(cycle, 1) + packetOf(cycle, 2)));
            if (closing != Closing::ByTheTest) {
                QVERIFY(QTest::qWaitFor([&] { return !rig.port->Open(); }, CloseWaitMs));
            } else {
                if (cycle % 2) // every other cycle the queued events run first
                    QCoreApplication::processEvents();
                rig.port->SetOpen(false); // whatever has arrived
            }
            closed = true;
            QVERIFY(!rig.port->Open());
            // the handler always re-arms: also an event dropped by the closing leaves it armed
            QVERIFY2(rig.packet.Enabled(), qPrintable(QStringLiteral("cycle %1").arg(cycle)));
            QCoreApplication::processEvents();
            QVERIFY2(!lateEvent,
                     qPrintable(QStringLiteral("cycle %1: event after close").arg(cycle)));
            // what arrived is an in-order prefix of what was sent, without repeats
            QCOMPARE(rig.timeouts, 0); // none is armed
            QVERIFY(rig.packets.size() <= PacketsSent);
            for (int i = 0; i < rig.packets.size(); ++i)
                QCOMPARE(rig.packets[i], packetOf(cycle, i));
            if (closing != Closing::ByTheTest)
                QVERIFY(rig.packets.size() >= ClosedAfter);
            delivered += int(rig.packets.size());
            cutShort += rig.packets.size() < PacketsSent ? 1 : 0;
            rig.blockThreadFor(BytesInFlight);
            rig.deviceDropsWhatItGot();
        }
        QVERIFY(!rig.offUiThread);
        qInfo("%d packets delivered, %d cycles closed before the last packet", delivered, cutShort);
    }
};

QTEST_GUILESS_MAIN(TestSerialStress)
#include "tst_serialstress.moc"
