// The serial port end to end on pseudo-terminals, with its collector and COM port map.
#include "CpuTime.h"
#include "PacketArming.h"
#include "PtyPair.h"
#include "TestHome.h"
#include "Unprivileged.h"
#include "serial/ComPortMap.h"
#include "serial/ConfigHome.h"
#include "serial/DataPacket.h"
#include "serial/DataPacketManager.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"
#include "serial/Ticks.h"

#include <QDir>
#include <QEventLoop>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <memory>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int Com = 4;

int64_t nowMs() {
    return serialticks::MonotonicMs();
}

// The main window's pair: ComPort1 and DataPacket1 on a fresh pseudo-terminal.
struct Link {
    PtyPair pty;
    std::unique_ptr<TSerialPort> port = std::make_unique<TSerialPort>();
    TDataPacket packet;
    QList<QByteArray> packets;
    int timeouts = 0;
    int64_t lastEventMs = 0;
    bool offUiThread = false;
    std::function<void()> onEvent;

    explicit Link(bool open = true) {
        linkComPort(Com, pty.slavePath());
        port->Baud = 57600;
        port->SetComNumber(Com);
        packet.AutoEnable = false;
        packet.StartCond = scAnyData;
        packet.SetComPort(port.get());
        packet.OnPacket = [this](TDataPacket*, const uint8_t* data, int size) {
            offUiThread |= QThread::currentThread() != qApp->thread();
            packets.append(QByteArray(reinterpret_cast<const char*>(data), size));
            lastEventMs = nowMs();
            if (onEvent)
                onEvent();
        };
        packet.OnTimeout = [this](TDataPacket*) {
            offUiThread |= QThread::currentThread() != qApp->thread();
            ++timeouts;
            lastEventMs = nowMs();
            if (onEvent)
                onEvent();
        };
        if (open)
            port->SetOpen(true);
    }
    bool waitPackets(int count) {
        return QTest::qWaitFor([&] { return packets.size() == count; }, 3000);
    }
    bool waitTimeout() {
        return QTest::qWaitFor([&] { return timeouts == 1; }, 5000);
    }
    void armSize(int size, int ticks) { armForSize(packet, size, ticks); }
    // Arms for two bytes and lets `device` send "ok": true when exactly that packet came.
    bool receivesOk(PtyPair& device) {
        armSize(2, 36);
        device.write("ok");
        return waitPackets(1) && packets.first() == "ok";
    }
    void armLine() { armForLine(packet); }
};

enum HandlerPause { NoPause, Sleep, Dialog };

int openDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

QString errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ESerialError& e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT
    TestHome home_;

private slots:

    // With the ports folder its entries; without it the automatic map of the ports found.
    void comPortMap_data() {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("mapped");
        QTest::addColumn<QString>("path");
        QTest::newRow("no folder: COM1 the real UART") << false << 1 << true << "/dev/ttyS1";
        QTest::newRow("no folder: COM2 the adapter") << false << 2 << true << "/dev/ttyUSB0";
        QTest::newRow("no folder: COM3 nothing") << false << 3 << false << "";
        QTest::newRow("no folder: COM0") << false << 0 << false << "";
        QTest::newRow("folder: entry") << true << 3 << true << "COM3";
        QTest::newRow("folder: no entry") << true << 4 << false << "";
    }
    void comPortMap() {
        QFETCH(bool, folder);
        QFETCH(int, number);
        QFETCH(bool, mapped);
        QFETCH(QString, path);
        TestHome other(folder ? TestHome::PortsFolder : TestHome::NoPortsFolder);
        if (folder) {
            QVERIFY(symlink("/dev/ttyUSB0", (comPortsDir() + "/COM3").c_str()) == 0);
        }
        SetSerialPortLister([] {
            return std::vector<TFoundPort>{
                {"/dev/ttyUSB0", "ttyUSB0", "", TPortKind::Adapter, false},
                {"/dev/ttyS0", "ttyS0", "", TPortKind::BuiltinUart, true},
                {"/dev/ttyS1", "ttyS1", "", TPortKind::BuiltinUart, false}};
        });
        const TComDevice device = ComDeviceOf(number);
        SetSerialPortLister({});
        QCOMPARE(device.mapped, mapped);
        if (folder && mapped)
            QCOMPARE(QString::fromStdString(device.path), other.portsDir() + "/" + path);
        else
            QCOMPARE(QString::fromStdString(device.path), path);
    }

    // The automatic map is kept between look-ups and read afresh when a port is opened.
    void automaticMapReadAfreshOnOpening() {
        TestHome other(TestHome::NoPortsFolder);
        PtyPair adapter;
        std::vector<TFoundPort> found;
        SetSerialPortLister([&found] { return found; });
        TSerialPort port;
        port.SetComNumber(1);
        QVERIFY(!IsPortAvailable(1));
        found.push_back({adapter.slavePath(), "ttyUSB0", "", TPortKind::Adapter, false});
        QVERIFY(!IsPortAvailable(1)); // the map as last read
        port.SetOpen(true);           // plugged in since: opening reads the map again
        QVERIFY(port.Open());
        QVERIFY(IsPortAvailable(1));
        port.SetOpen(false);
        SetSerialPortLister({});
    }

    void openSendReceiveClose() {
        Link link(false);
        QVERIFY(link.pty.ok());
        QVERIFY(!link.port->Open());
        link.port->SetOpen(true);
        QVERIFY(link.port->Open());
        link.armLine();
        link.port->PutString("T\r");
        QCOMPARE(link.pty.read(2, 2000), QByteArray("T\r"));
        link.port->PutChar(0x06);
        QCOMPARE(link.pty.read(1, 2000), QByteArray("\x06"));
        QVERIFY(link.pty.write("Zuvex 9"));
        QTest::qWait(30);
        QVERIFY(link.pty.write("10k\r\n"));
        QVERIFY(link.waitPackets(1));
        QCOMPARE(link.packets, QList<QByteArray>{"Zuvex 910k\r\n"});
        QVERIFY(!link.offUiThread);
        link.port->SetOpen(false);
        QVERIFY(!link.port->Open());
        link.port->SetOpen(false); // closing a closed port does nothing
    }

    void closedPortOperationsFail_data() {
        QTest::addColumn<int>("operation");
        int i = 0;
        for (const char* name : {"PutString", "PutChar", "FlushInBuffer", "FlushOutBuffer"})
            QTest::newRow(name) << i++;
    }
    void closedPortOperationsFail() {
        QFETCH(int, operation);
        TSerialPort port;
        const std::function<void()> operations[] = {
            [&] { port.PutString("T\r"); }, [&] { port.PutChar('T'); },
            [&] { port.FlushInBuffer(); }, [&] { port.FlushOutBuffer(); }};
        QCOMPARE(errorOf(operations[operation]),
                 QStringLiteral("Der COM-Port ist nicht geöffnet."));
    }

    void fullOutputQueueRefusesWholeBlock() {
        Link link(false);
        link.port->OutSize = 8;
        link.port->SetOpen(true);
        QCOMPARE(errorOf([&] { link.port->PutString("123456789"); }),
                 QStringLiteral("Die Sendewarteschlange des COM-Ports ist voll."));
        link.port->PutString("abc");
        QCOMPARE(link.pty.read(20, 300), QByteArray("abc"));
    }

    // The first packet's handler ends a conversation: what arrived meanwhile or was left over
    // is dropped, and the next arming sees only new bytes.
    void handlerEmptiesBuffers_data() {
        QTest::addColumn<QByteArray>("first");  // sent before the handler runs
        QTest::addColumn<QByteArray>("during"); // sent while it runs
        QTest::addColumn<int>("pause");
        QTest::addColumn<bool>("reattach"); // detach from the port and attach again
        QTest::newRow("flush drops bytes not yet collected")
            << QByteArray("A") << QByteArray("XYZ") << int(Sleep) << false;
        // a dialog runs a nested event loop: the bytes stay in the driver until the flush
        QTest::newRow("bytes wait while the handler shows a dialog")
            << QByteArray("a") << QByteArray("X") << int(Dialog) << false;
        QTest::newRow("detach and attach inside the handler")
            << QByteArray("ab") << QByteArray() << int(NoPause) << true;
    }
    void handlerEmptiesBuffers() {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, during);
        QFETCH(int, pause);
        QFETCH(bool, reattach);
        Link link;
        link.onEvent = [&] {
            if (link.packets.size() != 1)
                return;
            if (reattach) {
                link.packet.SetComPort(nullptr);
                link.packet.SetComPort(link.port.get());
            }
            link.pty.write(during);
            if (pause == Sleep)
                QThread::msleep(60);
            if (pause == Dialog) {
                QEventLoop dialog; // stands for QDialog::exec()
                QTimer::singleShot(150, &dialog, &QEventLoop::quit);
                dialog.exec();
            }
            link.port->FlushInBuffer();
            link.port->FlushOutBuffer();
            QVERIFY(!link.packet.Enabled());
            if (!reattach)
                link.armSize(1, 36);
        };
        link.armSize(1, 36);
        link.pty.write(first);
        QVERIFY(link.waitPackets(1));
        QTest::qWait(200);
        QCOMPARE(link.packets, QList<QByteArray>{first.left(1)});
        if (reattach) // armed only after the event, as a transfer's end does
            link.armSize(1, 36);
        link.pty.write("c");
        QVERIFY(link.waitPackets(2));
        QCOMPARE(link.packets, (QList<QByteArray>{first.left(1), "c"}));
    }

    void timeoutNoSoonerThanAllowed_data() {
        QTest::addColumn<int>("ticks");
        QTest::addColumn<bool>("trickle");
        QTest::newRow("6 ticks") << 6 << false;
        QTest::newRow("12 ticks") << 12 << false;
        QTest::newRow("18 ticks, bytes keep coming") << 18 << true;
    }
    void timeoutNoSoonerThanAllowed() {
        QFETCH(int, ticks);
        QFETCH(bool, trickle);
        Link link;
        const int64_t armed = nowMs();
        link.armSize(61, ticks);
        QTimer feeder;
        QObject::connect(&feeder, &QTimer::timeout, [&] { link.pty.write("x"); });
        if (trickle)
            feeder.start(40);
        QVERIFY(link.waitTimeout());
        feeder.stop();
        QVERIFY2(link.lastEventMs - armed >= ticks * 55,
                 qPrintable(QString::number(link.lastEventMs - armed)));
        QVERIFY(link.packets.isEmpty());
        QVERIFY(!link.packet.Enabled());
        QVERIFY(!link.offUiThread);
    }

    void lateReplyStartsNextPacket() {
        Link link;
        link.onEvent = [&] {
            if (link.timeouts == 1 && link.packets.isEmpty())
                link.armSize(3, 36);
        };
        link.armSize(3, 2);
        link.pty.write("a");
        QVERIFY(link.waitTimeout());
        link.pty.write("bcd");
        QVERIFY(link.waitPackets(1));
        QCOMPARE(link.packets.first(), QByteArray("bcd"));
    }

    void closeAndReopenWhileArmedArmsWithFreshTimer() {
        Link link;
        link.armSize(61, 6);
        QTest::qWait(250);
        link.port->SetOpen(false);
        QVERIFY(link.packet.Enabled());
        QTest::qWait(200);
        QCOMPARE(link.timeouts, 0);
        const int64_t reopened = nowMs();
        link.port->SetOpen(true);
        QVERIFY(link.waitTimeout());
        QVERIFY(link.lastEventMs - reopened >= 6 * 55);
    }

    void newComNumberReopens() {
        Link link;
        PtyPair second;
        linkComPort(Com + 1, second.slavePath());
        link.armSize(2, 36);
        link.port->SetComNumber(Com + 1);
        QVERIFY(link.port->Open());
        second.write("ok");
        QVERIFY(link.waitPackets(1));
        QCOMPARE(link.packets.first(), QByteArray("ok"));
    }
    void portHeldByAnotherProgram() {
        Link link(false);
        const int holder = open(link.pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(holder >= 0);
        QCOMPARE(flock(holder, LOCK_EX | LOCK_NB), 0);
        QVERIFY(IsPortAvailable(Com));
        QCOMPARE(errorOf([&] { link.port->SetOpen(true); }),
                 QStringLiteral("Der COM-Port COM%1 (%2) wird bereits von einem anderen Programm "
                                "verwendet.")
                     .arg(Com)
                     .arg(QString::fromStdString(link.pty.slavePath())));
        QVERIFY(!link.port->Open());
        close(holder);
        QVERIFY(IsPortAvailable(Com));
        link.port->SetOpen(true);
        // while we hold it, another opening is refused
        TSerialPort other;
        other.SetComNumber(Com);
        QVERIFY(!errorOf([&] { other.SetOpen(true); }).isEmpty());
        QVERIFY(IsPortAvailable(Com));
    }

    // A port the user may not open counts as present; opening it names the device and the fix.
    void portWithoutPermission() {
        if (geteuid() != 0)
            QSKIP("only root can hand the device to another group");
        Link link(false);
        QString error;
        {
            WithoutPermission denied(link.pty.slavePath(), home_.root(), "tty");
            QVERIFY(denied.active());
            QVERIFY(IsPortAvailable(Com));
            error = errorOf([&] { link.port->SetOpen(true); });
        }
        QCOMPARE(error, QStringLiteral("Keine Berechtigung für den COM-Port COM%1 (%2). Nehmen Sie "
                                       "Ihren Benutzer in die Gruppe „tty“ auf und melden Sie "
                                       "sich danach neu an.")
                            .arg(Com)
                            .arg(QString::fromStdString(link.pty.slavePath())));
        QVERIFY(!link.port->Open());
    }

    void missingPortsNotAvailable_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("error");
        QTest::newRow("COM0") << 0 << "Es ist kein COM-Port ausgewählt.";
        QTest::newRow("no entry") << 17 << "Der COM-Port COM17 ist nicht vorhanden.";
        QTest::newRow("dangling link")
            << 18 << "Der COM-Port COM18 (/nonexistent/ttyUSB9) ist nicht vorhanden.";
        QTest::newRow("not a terminal")
            << 19 << "Der COM-Port COM19 (/dev/null) lässt sich nicht einstellen.";
        QTest::newRow("folder") << 16
                                << "Der COM-Port COM16 (/tmp) kann nicht geöffnet werden. Der "
                                   "Name bezeichnet einen Ordner, kein Gerät.";
        QTest::newRow("link loop") << 15
                                   << "Der COM-Port COM15 (<ports>/COM15) kann nicht geöffnet "
                                      "werden. Die Verknüpfung verweist im Kreis auf sich selbst.";
    }
    void missingPortsNotAvailable() {
        QFETCH(int, number);
        QFETCH(QString, error);
        linkComPort(18, "/nonexistent/ttyUSB9");
        linkComPort(19, "/dev/null");
        linkComPort(16, "/tmp");
        linkComPort(15, comPortsDir() + "/COM15");
        QVERIFY(!IsPortAvailable(number));
        TSerialPort port;
        port.SetComNumber(uint16_t(number));
        QCOMPARE(errorOf([&] { port.SetOpen(true); }),
                 error.replace("<ports>", QString::fromStdString(comPortsDir())));
        QVERIFY(!port.Open());
    }

    void deviceVanishes_data() {
        QTest::addColumn<int>("when");
        QTest::newRow("while a packet is collected") << 0;
        QTest::newRow("while idle") << 1;
        QTest::newRow("on a write") << 2;
    }
    // Closing the master side is what unplugging an adapter looks like: one report, the port
    // closed without spinning or leaking its descriptor, and the next opening really reopens.
    void deviceVanishes() {
        QFETCH(int, when);
        QStringList reported, lost;
        SetSerialErrorSink([&](const QString& text) { reported.append(text); });
        Link link(false);
        link.port->OnLost = [&](const QString& text) { lost.append(text); };
        const int descriptors = openDescriptors();
        link.port->SetOpen(true);
        if (when == 0) {
            link.armSize(61, 12);
            link.pty.write("0123456789");
            QVERIFY(QTest::qWaitFor([&] { return link.port->PacketManager()->BufferedBytes(); }));
        }
        link.pty.closeMaster();
        if (when == 2)
            link.port->PutChar('x'); // before the event loop has seen the hang-up
        const auto cpu0 = processCpuTime();
        const int64_t wall0 = nowMs();
        QVERIFY(QTest::qWaitFor([&] { return !lost.isEmpty(); }, 3000));
        QTest::qWait(900); // longer than the collector's time-out
        const int64_t cpu = (processCpuTime() - cpu0).count();
        const int64_t wall = nowMs() - wall0;
        SetSerialErrorSink(nullptr);
        QVERIFY2(cpu * 4 < wall,
                 qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(cpu).arg(wall)));
        QCOMPARE(lost, QStringList{PortLostText(Com)});
        QCOMPARE(reported, QStringList{});
        QCOMPARE(link.timeouts, 0);
        QVERIFY(link.packets.isEmpty());
        QVERIFY(!link.port->Open());
        QCOMPARE(openDescriptors(), descriptors - 1); // only the master is gone besides

        PtyPair again; // plugged in again
        linkComPort(Com, again.slavePath());
        link.port->SetOpen(true);
        QVERIFY(link.receivesOk(again));
    }

    void staysResponsive_data() {
        QTest::addColumn<bool>("rivalReader");
        QTest::newRow("unsolicited bytes and flushes between them") << false;
        QTest::newRow("another reader empties the queue before ours reads") << true;
    }
    // Finding nothing to read is no hang-up: the port keeps reading afterwards.
    void staysResponsive() {
        QFETCH(bool, rivalReader);
        Link link;
        std::atomic<bool> stop{false};
        std::thread rival;
        if (rivalReader) {
            // root ignores exclusive mode, so a second reader can take the bytes we are told of
            const int fd = open(link.pty.slavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
            if (fd < 0)
                QSKIP("the port cannot be opened twice (not root)");
            rival = std::thread([fd, &stop] {
                char buf[64];
                while (!stop)
                    if (::read(fd, buf, sizeof buf) <= 0)
                        std::this_thread::yield();
                close(fd);
            });
        }
        for (int i = 0; i < 200; ++i) {
            link.pty.write("unasked");
            QTest::qWait(1);
            if (!rivalReader && i % 3 == 0)
                link.port->FlushInBuffer();
        }
        stop = true;
        if (rival.joinable())
            rival.join();
        QTest::qWait(20);
        link.port->FlushInBuffer();
        QVERIFY(link.receivesOk(link.pty));
        QVERIFY(link.port->Open());
    }

    void exceptionInHandlerReachesErrorDisplay() {
        QStringList shown;
        bool onUi = true;
        SetSerialErrorSink([&](const QString& text) {
            onUi &= QThread::currentThread() == qApp->thread();
            shown.append(text);
        });
        Link link;
        link.onEvent = [&] {
            link.armSize(1, 36);
            if (link.packets.size() == 1)
                throw ESerialError(QStringLiteral("Kaputt."));
        };
        link.armSize(1, 36);
        link.pty.write("ab");
        QVERIFY(link.waitPackets(2));
        SetSerialErrorSink(nullptr);
        QCOMPARE(shown, QStringList{"Kaputt."});
        QVERIFY(onUi);
    }

    void closingInsideHandlerAndItsDialog_data() {
        QTest::addColumn<bool>("fromDialog");
        QTest::newRow("handler closes the port") << false;
        QTest::newRow("a timer closes it while the handler's dialog shows") << true;
    }
    void closingInsideHandlerAndItsDialog() {
        QFETCH(bool, fromDialog);
        Link link;
        bool returned = false;
        link.onEvent = [&] {
            link.armSize(1, 36); // armed again: reopening must arm it
            if (!fromDialog) {
                link.port->SetOpen(false);
            } else {
                QEventLoop dialog; // stands for QDialog::exec()
                QTimer::singleShot(20, [&] { link.port->SetOpen(false); });
                QTimer::singleShot(80, &dialog, &QEventLoop::quit);
                dialog.exec();
            }
            QVERIFY(!link.port->Open());
            returned = true;
        };
        link.armSize(1, 36);
        link.pty.write("a");
        QVERIFY(QTest::qWaitFor([&] { return returned; }, 3000));
        QCOMPARE(link.packets.size(), 1);
        QVERIFY(link.packet.Enabled());
        link.onEvent = nullptr;
        link.port->SetOpen(true);
        link.pty.write("b");
        QVERIFY(link.waitPackets(2));
        QCOMPARE(link.packets.last(), QByteArray("b"));
    }

    void destroyingPortWhileEventPending() {
        Link link;
        link.armSize(1, 36);
        link.pty.write("a");
        QThread::msleep(100); // the byte waits in the driver; this thread has not read it
        link.port.reset();
        QTest::qWait(50);
        QVERIFY(link.packets.isEmpty());
        QCOMPARE(link.packet.ComPort(), nullptr);
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
