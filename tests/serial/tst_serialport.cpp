// The serial port end to end on pseudo-terminals, with its collector and COM port map.
#include "CpuTime.h"
#include "PortRig.h"
#include "StepScript.h"
#include "TestHome.h"
#include "Unprivileged.h"
#include "serial/ComPortMap.h"
#include "serial/ConfigHome.h"
#include "serial/DataPacketManager.h"
#include "serial/LowLatency.h"
#include "serial/PosixSerialDevice.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"
#include "serial/Ticks.h"

#include <QDir>
#include <QTest>
#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int Com = 4;

int64_t nowMs() {
    return serialticks::MonotonicMs();
}

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

    // Each row is a script of steps on COM4, opened by a step of its own (see PortRig.cpp);
    // `handler` runs inside the first event's handler.
    void script_data() {
        addScriptColumns();
        QTest::newRow("open, send, receive, close")
            << Steps{"?open 0",      "open",   "?open 1",    "line",         "put T\r",
                     "?sent T\r",    "putc 6", "?sent \x06", "send Zuvex 9", "pause 30",
                     "send 10k\r\n", "wait 1", "close",      "?open 0",      "close"}
            // closing a closed port does nothing
            << Steps{} << Packets{"Zuvex 910k\r\n"};
        QTest::newRow("full output queue refuses the whole block")
            << Steps{"outsize 8",     "open",
                     "put 123456789", "?error Die Sendewarteschlange des COM-Ports ist voll.",
                     "put abc",       "?sent abc",
                     "?silent"}
            << Steps{} << Packets{};
        const QList<std::pair<const char*, QByteArray>> closedOps{{"PutString", "put T\r"},
                                                                  {"PutChar", "putc 84"},
                                                                  {"FlushInBuffer", "flushin"},
                                                                  {"FlushOutBuffer", "flushout"}};
        for (const auto& [name, operation] : closedOps)
            QTest::newRow(qPrintable(QStringLiteral("closed port: %1").arg(name)))
                << Steps{operation, "?error Der COM-Port ist nicht geöffnet."} << Steps{}
                << Packets{};
        // The first packet's handler ends a conversation: what arrived meanwhile or was left
        // over is dropped, and the next arming sees only new bytes.
        const auto withFirst = [](const QByteArray& first) {
            return Steps{"open",      "size 1 36",  "send " + first, "wait 1",
                         "pause 200", "?packets 1", "send c",        "wait 2"};
        };
        QTest::newRow("flush drops bytes not yet collected")
            << withFirst("A")
            << Steps{"send XYZ", "sleep 60", "flushin", "flushout", "?enabled 0", "size 1 36"}
            << Packets{"A", "c"};
        // a dialog runs a nested event loop: the bytes stay in the driver until the flush
        QTest::newRow("bytes wait while the handler shows a dialog")
            << withFirst("a")
            << Steps{"send X", "dialog 150", "flushin", "flushout", "?enabled 0", "size 1 36"}
            << Packets{"a", "c"};
        // armed only after the event, as a transfer's end does
        Steps reattach = withFirst("ab");
        reattach.insert(6, "size 1 36");
        QTest::newRow("detach and attach inside the handler")
            << reattach << Steps{"detach", "attach", "flushin", "flushout", "?enabled 0"}
            << Packets{"a", "c"};
        // the time-out comes no sooner than allowed, also while bytes keep coming
        for (const char* ticks : {"6", "12"})
            QTest::newRow(qPrintable(QStringLiteral("time-out after %1 ticks").arg(ticks)))
                << Steps{"open",
                         "mark",
                         QByteArray("size 61 ") + ticks,
                         "timeout",
                         QByteArray("?since ") + ticks,
                         "?enabled 0"}
                << Steps{} << Packets{};
        QTest::newRow("time-out after 18 ticks, bytes keep coming")
            << Steps{"open",    "mark",      "size 61 18", "trickle 40",
                     "timeout", "trickle 0", "?since 18",  "?enabled 0"}
            << Steps{} << Packets{};
        QTest::newRow("late reply starts the next packet")
            << Steps{"open", "size 3 2", "send a", "timeout", "send bcd", "wait 1"}
            << Steps{"size 3 36"} << Packets{"bcd"};
        QTest::newRow("close and reopen while armed arms a fresh timer")
            << Steps{"open",        "size 61 6", "pause 250", "close",   "?enabled 1", "pause 200",
                     "?timeouts 0", "mark",      "open",      "timeout", "?since 6"}
            << Steps{} << Packets{};
        QTest::newRow("a new COM number reopens")
            << Steps{"open", "size 2 36", "plug 5", "com 5", "?open 1", "send ok", "wait 1"}
            << Steps{} << Packets{"ok"};
        // armed again in the handler: reopening must arm it
        QTest::newRow("the handler closes the port")
            << Steps{"open",       "size 1 36", "send a", "wait 1",
                     "?enabled 1", "open",      "send b", "wait 2"}
            << Steps{"size 1 36", "close", "?open 0"} << Packets{"a", "b"};
        QTest::newRow("a timer closes it while the handler's dialog shows")
            << Steps{"open",       "size 1 36", "send a", "wait 1",
                     "?enabled 1", "open",      "send b", "wait 2"}
            << Steps{"size 1 36", "later 20 close", "dialog 80", "?open 0"} << Packets{"a", "b"};
        QTest::newRow("an exception in the handler reaches the error display")
            << Steps{"open", "size 1 36", "send ab", "wait 2", "?error Kaputt."}
            << Steps{"size 1 36", "throw Kaputt."} << Packets{"a", "b"};
        // the byte waits in the driver; this thread has not read it
        QTest::newRow("destroying the port while an event is pending")
            << Steps{"open",    "size 1 36", "send a",     "sleep 100",
                     "destroy", "pause 50",  "?attached 0"}
            << Steps{} << Packets{};
    }
    void script() {
        QFETCH(Steps, steps);
        QFETCH(Steps, handler);
        QFETCH(Packets, expected);
        PortRig link(Com, false);
        QVERIFY(link.ok());
        link.runScript(steps, handler, expected);
    }

    void portHeldByAnotherProgram() {
        PortRig link(Com, false);
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
        PortRig link(Com, false);
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
        PortRig link(Com, false);
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

        link.step("plug 4"); // plugged in again
        link.step("open");
        QVERIFY(link.receivesOk());
    }

    void staysResponsive_data() {
        QTest::addColumn<bool>("rivalReader");
        QTest::newRow("unsolicited bytes and flushes between them") << false;
        QTest::newRow("another reader empties the queue before ours reads") << true;
    }
    // Finding nothing to read is no hang-up: the port keeps reading afterwards.
    void staysResponsive() {
        QFETCH(bool, rivalReader);
        PortRig link(Com);
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
        QVERIFY(link.receivesOk());
        QVERIFY(link.port->Open());
    }

    // Opening asks the driver for low latency (the rows of script() talk through such an
    // opening). A pseudo-terminal refuses: nothing is left to restore, and asking again
    // changes nothing of the line.
    void lowLatencyRefusedChangesNothing() {
        PtyPair pty;
        QVERIFY(pty.ok());
        const TOpenResult opened = OpenSerialDevice(pty.slavePath(), TLineSettings{});
        QVERIFY(opened.fd >= 0);
        QVERIFY(!opened.restore.serialFlags.has_value());
        termios before{};
        QCOMPARE(tcgetattr(opened.fd, &before), 0);
        QVERIFY(!RequestLowLatency(opened.fd).has_value());
        termios after{};
        QCOMPARE(tcgetattr(opened.fd, &after), 0);
        QCOMPARE(std::memcmp(&before, &after, sizeof before), 0);
        CloseSerialDevice(opened.fd, opened.restore);
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
