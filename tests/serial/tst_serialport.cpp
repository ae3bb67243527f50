// The serial port on pseudo-terminals: packets, COM port map, refusals, the line left as found.
#include "ChildProcess.h"
#include "CpuTime.h"
#include "PortRig.h"
#include "TestHome.h"
#include "Unprivileged.h"
#include "serial/ComPortMap.h"
#include "serial/ConfigHome.h"
#include "serial/LowLatency.h"
#include "serial/PosixSerialDevice.h"

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <thread>

using PortScenario = std::function<void(PortRig&)>;
using Machine = std::vector<TFoundPort>;
enum class Vanishing { WhileCollecting, WhileIdle, OnWrite };
// What keeps a port that is there from being opened.
enum class Obstacle { None, HeldByAnotherProgram, NoPermission };

namespace {

using namespace std::chrono_literals;
using namespace LinkProtocol;

constexpr int Com = 4;
constexpr int OtherCom = 5;
constexpr uint16_t SmallOutputQueue = 8;
constexpr int KernelUartSlots = 32; // the kernel always lists ttyS0 ... ttyS31
constexpr int FewUartSlots = 4;
constexpr int NoRealUart = -1;

constexpr auto BytesReachDriver = 60ms; // the thread is busy meanwhile
constexpr auto PendingEventsRun = 50ms; // the event loop delivers what was queued
constexpr auto BetweenBursts = 1ms;
constexpr auto DeliveryWindow = 200ms; // long enough for a dropped byte to show up
constexpr auto DialogShown = 150ms;

// The cycles of openReceiveCloseCycles().
constexpr int Cycles = 1000;
constexpr int CycleDigits = 4;
constexpr int CyclePacketSize = CycleDigits + 1; // the cycle and a letter for the packet's place
constexpr int PacketsSent = 3;                   // per cycle
constexpr int ClosedAfter = 2;                   // packets, when the handler closes the port
constexpr int CloseWaitMs = 5000;
constexpr auto CloseDuringDialog = 1ms;
constexpr auto ShortDialog = 5ms;
constexpr auto BytesInFlight = 1ms; // bytes on their way through the pty land meanwhile

// Who closes the port once the first packet has come and the others are sent.
enum class Closing { ByTheTest, InTheHandler, DuringTheHandlersDialog };
constexpr int ClosingKinds = 3;

QByteArray packetOf(int cycle, int seq) {
    return QByteArray::number(cycle).rightJustified(CycleDigits, '0') + char('a' + seq);
}

// A USB adapter, with its name under /dev/serial/by-id/ when udev gives one.
TFoundPort adapter(const std::string& kernelName, const std::string& byIdName = {}) {
    return {"/dev/" + kernelName, kernelName, byIdName, TPortKind::Adapter, false};
}

// `count` built-in UART slots ttyS0, ttyS1, ... of which only `real` has hardware behind it.
Machine uartSlots(int count, int real = NoRealUart) {
    Machine uarts;
    for (int n = count - 1; n >= 0; --n) { // the platform's order is not the COM order
        const std::string name = "ttyS" + std::to_string(n);
        uarts.push_back({"/dev/" + name, name, {}, TPortKind::BuiltinUart, n != real});
    }
    return uarts;
}

termios lineOf(int fd) {
    termios tio{};
    tcgetattr(fd, &tio);
    return tio;
}

bool sameLine(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b);
}

// How the child that tries the port ended.
enum ChildResult { Refused, Opened, NoControllingTerminal };

int openDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

enum class Rearm { InHandler, AfterEvent };

// The handler of `first`'s first byte runs `handler` and flushes as a conversation ends; "c" next.
PortScenario firstPacketEndsConversation(const QByteArray& first, Rearm rearm,
                                         const PortScenario& handler) {
    return [=](PortRig& rig) {
        rig.port->SetOpen(true);
        rig.armForBlock(OneByte, LongWait);
        rig.onFirstEvent([&rig, handler, rearm] {
            handler(rig);
            rig.port->FlushInBuffer();
            rig.port->FlushOutBuffer();
            QVERIFY(!rig.packet.Enabled());
            if (rearm == Rearm::InHandler)
                rig.armForBlock(OneByte, LongWait);
        });
        QVERIFY(rig.deviceSends(first));
        QVERIFY(rig.waitForPackets(1));
        rig.letEventLoopRun(DeliveryWindow);
        QCOMPARE(rig.packets.size(), 1);
        if (rearm == Rearm::AfterEvent)
            rig.armForBlock(OneByte, LongWait);
        QVERIFY(rig.deviceSends("c"));
        QVERIFY(rig.waitForPackets(2));
    };
}

} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT
    TestHome home_;

private slots:

    // With the ports folder a COM number is its entry there, whatever ports are found.
    void comPortFromFolder() {
        TestHome other(TestHome::PortsFolder);
        QVERIFY(linkComPort(Com, "/dev/ttyUSB0"));
        SetSerialPortLister([] { return Machine{adapter("ttyUSB0")}; });
        const TComDevice entry = ComDeviceOf(Com);
        SetSerialPortLister({});
        QVERIFY(entry.mapped);
        QCOMPARE(QString::fromStdString(entry.path), other.portsDir() + "/COM4");
    }

    void automaticMap_data() {
        QTest::addColumn<Machine>("machine");
        QTest::addColumn<QStringList>("com"); // COM1, COM2, ...
        QTest::newRow("no serial port") << Machine{} << QStringList();
        QTest::newRow("32 empty UART slots") << uartSlots(KernelUartSlots) << QStringList();
        QTest::newRow("one real UART among 32 slots")
            << uartSlots(KernelUartSlots, 1) << QStringList{"ttyS1"};
        Machine mixed = uartSlots(FewUartSlots, 0);
        mixed.insert(mixed.begin(), {adapter("ttyUSB1", "usb-FTDI_FT232R_USB_UART_B2-if00-port0"),
                                     adapter("ttyACM0", "usb-Arduino_Uno_7543-if00"),
                                     adapter("ttyUSB0", "usb-FTDI_FT232R_USB_UART_A1-if00-port0")});
        QTest::newRow("two FTDI adapters and an ACM device after a UART")
            << mixed << QStringList{"ttyS0", "ttyACM0", "ttyUSB0", "ttyUSB1"};
        QTest::newRow("adapter without a by-id name comes after the named ones")
            << Machine{adapter("ttyUSB0"), adapter("ttyUSB1", "usb-Prolific_PL2303-if00-port0"),
                       adapter("ttyUSB10"), adapter("ttyUSB2")}
            << QStringList{"ttyUSB1", "ttyUSB0", "ttyUSB2", "ttyUSB10"};
        Machine many = uartSlots(FewUartSlots, 3);
        QStringList first{"ttyS3"};
        for (int n = 0; n < MaxComNumber + FewUartSlots; ++n) { // more than there are numbers
            const std::string name = "ttyUSB" + std::to_string(n);
            many.push_back(adapter(name));
            if (first.size() < MaxComNumber)
                first << QString::fromStdString(name);
        }
        QTest::newRow("more than 20 ports: COM20 is the last") << many << first;
    }
    // Which device each COM number gets on machines of different kinds, without a ports folder.
    void automaticMap() {
        QFETCH(Machine, machine);
        QFETCH(QStringList, com);
        TestHome other(TestHome::NoPortsFolder);
        SetSerialPortLister([machine] { return machine; });
        QStringList devices;
        for (int number = 1; ComDeviceOf(number).mapped; ++number)
            devices << QString::fromStdString(ComDeviceOf(number).path).remove("/dev/");
        QVERIFY(!ComDeviceOf(0).mapped);
        SetSerialPortLister({});
        QCOMPARE(devices, com);
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

    // Each row plays a device against a closed port on COM4; `expected`: the packets delivered.
    void scenario_data() {
        QTest::addColumn<PortScenario>("scenario");
        QTest::addColumn<Packets>("expected");
        addScenario("full output queue refuses the whole block", {}, [](PortRig& rig) {
            rig.port->OutSize = SmallOutputQueue;
            rig.port->SetOpen(true);
            QCOMPARE(errorOf([&] { rig.port->PutString(QByteArray(SmallOutputQueue + 1, 'x')); }),
                     QStringLiteral("Die Sendewarteschlange des COM-Ports ist voll."));
            const QByteArray fits = "abc";
            rig.port->PutString(fits);
            QCOMPARE(rig.pty.readFor(DeliveryWindow), fits.toStdString());
        });
        // refused to the caller, and shown nowhere else
        addScenario("a closed port refuses writing and flushing", {}, [](PortRig& rig) {
            TSerialPort& port = *rig.port;
            for (const std::function<void()>& operation :
                 std::initializer_list<std::function<void()>>{
                     [&] { port.PutString(IdentifyCommand); }, [&] { port.PutChar(Ack); },
                     [&] { port.FlushInBuffer(); }, [&] { port.FlushOutBuffer(); }})
                QCOMPARE(errorOf(operation), QStringLiteral("Der COM-Port ist nicht geöffnet."));
        });
        // a handler that ends a conversation drops what is left; the next arming sees new bytes
        addScenario("flush drops bytes not yet collected", {"A", "c"},
                    firstPacketEndsConversation("A", Rearm::InHandler, [](PortRig& rig) {
                        QVERIFY(rig.deviceSends("XYZ"));
                        rig.blockThreadFor(BytesReachDriver);
                    }));
        // a dialog runs a nested event loop: the bytes stay in the driver until the flush
        addScenario("bytes wait while the handler shows a dialog", {"a", "c"},
                    firstPacketEndsConversation("a", Rearm::InHandler, [](PortRig& rig) {
                        QVERIFY(rig.deviceSends("X"));
                        rig.showDialogFor(DialogShown);
                    }));
        // armed only after the event, as a transfer's end does
        addScenario("detach and attach inside the handler", {"a", "c"},
                    firstPacketEndsConversation("ab", Rearm::AfterEvent, [](PortRig& rig) {
                        rig.packet.SetComPort(nullptr);
                        rig.packet.SetComPort(rig.port.get());
                    }));
        addScenario("close and reopen while armed arms the timer again", {}, [](PortRig& rig) {
            rig.port->SetOpen(true);
            rig.armForBlock(ImageBlockSize, AckWait);
            rig.port->SetOpen(false);
            rig.port->SetOpen(false); // closing a closed port does nothing
            QVERIFY(rig.packet.Enabled());
            rig.letEventLoopRun(AckWait.latestFiring());
            QCOMPARE(rig.timeouts, 0);
            rig.port->SetOpen(true);
            QVERIFY(QTest::qWaitFor([&] { return rig.timeouts == 1; }));
        });
        addScenario("a new COM number reopens", {"ok"}, [](PortRig& rig) {
            const QByteArray ok = "ok";
            rig.port->SetOpen(true);
            rig.armForBlock(int(ok.size()), LongWait);
            QVERIFY(rig.plugNewDevice(OtherCom));
            rig.port->SetComNumber(OtherCom);
            QVERIFY(rig.port->Open());
            QVERIFY(rig.deviceSends(ok));
            QVERIFY(rig.waitForPackets(1));
        });
        // the byte waits in the driver; this thread has not read it
        addScenario("destroying the port while an event is pending", {}, [](PortRig& rig) {
            rig.port->SetOpen(true);
            rig.armForBlock(OneByte, LongWait);
            QVERIFY(rig.deviceSends("a"));
            rig.blockThreadFor(BytesReachDriver);
            rig.port.reset();
            rig.letEventLoopRun(PendingEventsRun);
            QVERIFY(!rig.packet.ComPort());
        });
    }
    void scenario() {
        QFETCH(PortScenario, scenario);
        QFETCH(Packets, expected);
        PortRig rig(Com);
        QVERIFY(rig.ok());
        scenario(rig);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(rig.packets, expected);
        QVERIFY(!rig.offUiThread);
        QCOMPARE(rig.reportedErrors, QStringList{});
    }

    // The refusal names port, device and reason; a held or forbidden port still counts as there.
    void openingRefused_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<Obstacle>("obstacle");
        QTest::addColumn<QString>("error");
        QTest::newRow("COM0") << 0 << Obstacle::None << "Es ist kein COM-Port ausgewählt.";
        QTest::newRow("no entry") << 17 << Obstacle::None
                                  << "Der COM-Port COM17 ist nicht vorhanden.";
        QTest::newRow("dangling link")
            << 18 << Obstacle::None
            << "Der COM-Port COM18 (/nonexistent/ttyUSB9) ist nicht vorhanden.";
        QTest::newRow("not a terminal")
            << 19 << Obstacle::None
            << "Der COM-Port COM19 (/dev/null) lässt sich nicht einstellen.";
        QTest::newRow("folder") << 16 << Obstacle::None
                                << "Der COM-Port COM16 (/tmp) kann nicht geöffnet werden. Der "
                                   "Name bezeichnet einen Ordner, kein Gerät.";
        QTest::newRow("link loop")
            << 15 << Obstacle::None
            << "Der COM-Port COM15 (<ports>/COM15) kann nicht geöffnet werden. Die Verknüpfung "
               "verweist im Kreis auf sich selbst.";
        QTest::newRow("held by another program")
            << Com << Obstacle::HeldByAnotherProgram
            << "Der COM-Port COM4 (<device>) wird bereits von einem anderen Programm verwendet.";
        QTest::newRow("without permission")
            << Com << Obstacle::NoPermission
            << "Keine Berechtigung für den COM-Port COM4 (<device>). Nehmen Sie Ihren Benutzer in "
               "die Gruppe „tty“ auf und melden Sie sich danach neu an.";
    }
    void openingRefused() {
        QFETCH(int, number);
        QFETCH(Obstacle, obstacle);
        QFETCH(QString, error);
        const bool available = obstacle != Obstacle::None;
        PortRig link(Com);
        linkComPort(18, "/nonexistent/ttyUSB9");
        linkComPort(19, "/dev/null");
        linkComPort(16, "/tmp");
        linkComPort(15, comPortsDir() + "/COM15");
        error.replace("<ports>", QString::fromStdString(comPortsDir()))
            .replace("<device>", QString::fromStdString(link.pty.slavePath()));
        const int holder = open(link.pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(holder >= 0);
        if (obstacle == Obstacle::HeldByAnotherProgram)
            QCOMPARE(flock(holder, LOCK_EX | LOCK_NB), 0);
        std::optional<WithoutPermission> denied;
        if (obstacle == Obstacle::NoPermission) {
            if (geteuid() != 0)
                QSKIP("only root can hand the device to another group");
            denied.emplace(link.pty.slavePath(), home_.root(), "tty");
            QVERIFY(denied->active());
        }
        QCOMPARE(IsPortAvailable(number), available);
        TSerialPort port;
        port.SetComNumber(uint16_t(number));
        const QString refusal = errorOf([&] { port.SetOpen(true); });
        denied.reset();
        close(holder);
        QCOMPARE(refusal, error);
        QVERIFY(!port.Open());
        if (!available)
            return;
        // the obstacle gone, the port opens; while we hold it, another opening is refused
        link.port->SetOpen(true);
        QVERIFY(!errorOf([&] { port.SetOpen(true); }).isEmpty());
        QVERIFY(IsPortAvailable(Com));
    }

    void deviceVanishes_data() {
        QTest::addColumn<Vanishing>("when");
        QTest::newRow("while a packet is collected") << Vanishing::WhileCollecting;
        QTest::newRow("while idle") << Vanishing::WhileIdle;
        QTest::newRow("on a write") << Vanishing::OnWrite;
    }
    // Unplugged (the master closed): one report, no spinning, no descriptor leaked; reopens later.
    void deviceVanishes() {
        QFETCH(Vanishing, when);
        QStringList lost;
        PortRig link(Com);
        link.port->OnLost = [&](const QString& text) { lost.append(text); };
        const int descriptors = openDescriptors();
        link.port->SetOpen(true);
        if (when == Vanishing::WhileCollecting) {
            link.armForBlock(ImageBlockSize, LineWait);
            QVERIFY(link.deviceSends("0123456789"));
            QVERIFY(QTest::qWaitFor([&] { return link.port->PacketManager()->BufferedBytes(); }));
        }
        link.pty.close();
        if (when == Vanishing::OnWrite)
            link.port->PutChar('x'); // before the event loop has seen the hang-up
        const auto cpu0 = processCpuTime();
        const int64_t wall0 = serialticks::MonotonicMs();
        QVERIFY(QTest::qWaitFor([&] { return !lost.isEmpty(); }));
        link.letEventLoopRun(LineWait.latestFiring()); // the time-out would have fired
        const int64_t cpu = (processCpuTime() - cpu0).count();
        const int64_t wall = serialticks::MonotonicMs() - wall0;
        QVERIFY2(cpu * 4 < wall,
                 qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(cpu).arg(wall)));
        QCOMPARE(lost, QStringList{PortLostText(Com)});
        QCOMPARE(link.reportedErrors, QStringList{});
        QCOMPARE(link.timeouts, 0);
        QVERIFY(link.packets.isEmpty());
        QVERIFY(!link.port->Open());
        QCOMPARE(openDescriptors(), descriptors - 1); // only the master is gone besides

        QVERIFY(link.plugNewDevice(Com)); // plugged in again
        link.port->SetOpen(true);
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
        link.port->SetOpen(true);
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
        constexpr int Bursts = 200;
        constexpr int BurstsPerFlush = 3;
        for (int i = 0; i < Bursts; ++i) {
            QVERIFY(link.deviceSends("unasked"));
            link.letEventLoopRun(BetweenBursts);
            if (!rivalReader && i % BurstsPerFlush == 0)
                link.port->FlushInBuffer();
        }
        stop = true;
        if (rival.joinable())
            rival.join();
        link.letEventLoopRun(PendingEventsRun);
        link.port->FlushInBuffer();
        QVERIFY(link.receivesOk());
        QVERIFY(link.port->Open());
    }

    // Opened raw; low latency, which a pty refuses, changes nothing; closing restores the line.
    void lineSetAndRestored() {
        PortRig rig(Com);
        QVERIFY(rig.ok());
        const termios before = lineOf(rig.pty.master());
        rig.port->SetOpen(true);
        QVERIFY(!sameLine(lineOf(rig.pty.master()), before)); // raw at the line's speed
        rig.port.reset();
        QVERIFY(sameLine(lineOf(rig.pty.master()), before));
        const TOpenResult opened = OpenSerialDevice(rig.pty.slavePath(), TLineSettings{});
        QVERIFY(opened.fd >= 0);
        QVERIFY(!opened.restore.serialFlags.has_value());
        termios set{};
        QCOMPARE(tcgetattr(opened.fd, &set), 0);
        QVERIFY(!RequestLowLatency(opened.fd).has_value());
        termios after{};
        QCOMPARE(tcgetattr(opened.fd, &after), 0);
        QCOMPARE(std::memcmp(&set, &after, sizeof set), 0);
        CloseSerialDevice(opened.fd, opened.restore);
    }

    // A ports entry leading to the program's own terminal is refused; the terminal keeps its line.
    void controllingTerminalRefused_data() {
        QTest::addColumn<bool>("throughDevTty");
        QTest::newRow("/dev/tty") << true;
        QTest::newRow("the terminal's own name") << false;
    }
    void controllingTerminalRefused() {
        QFETCH(bool, throughDevTty);
        PtyPair pty;
        QVERIFY(pty.ok());
        QVERIFY(linkComPort(Com, throughDevTty ? std::string("/dev/tty") : pty.slavePath()));
        const termios before = lineOf(pty.master());
        const int result = inChild([&] {
            // a session of its own, whose controlling terminal is the pseudo-terminal
            ::setsid();
            const int terminal = ::open(pty.slavePath().c_str(), O_RDWR);
            if (terminal < 0 || ::ioctl(terminal, TIOCSCTTY, 0) != 0 ||
                ::open("/dev/tty", O_RDWR | O_NOCTTY) < 0)
                return NoControllingTerminal;
            TSerialPort port;
            port.SetComNumber(Com);
            return errorOf([&] { port.SetOpen(true); }).isEmpty() && port.Open() ? Opened : Refused;
        });
        QCOMPARE(result, int(Refused));
        QVERIFY(sameLine(lineOf(pty.master()), before));
    }

    // Open, receive, close, many times: no event is lost, repeated or delivered after the close.
    void openReceiveCloseCycles() {
        PortRig rig(Com);
        QVERIFY(rig.ok());
        Closing closing = Closing::ByTheTest;
        bool closed = false; // the port of this cycle has been closed
        bool lateEvent = false;
        rig.onEvent = [&] {
            lateEvent |= closed;
            rig.armForBlock(CyclePacketSize, NoTimeOut);
            if (rig.packets.size() != ClosedAfter)
                return;
            if (closing == Closing::InTheHandler)
                rig.port->SetOpen(false);
            if (closing == Closing::DuringTheHandlersDialog) {
                QTimer::singleShot(CloseDuringDialog, [&rig] { rig.port->SetOpen(false); });
                rig.showDialogFor(ShortDialog);
            }
        };

        rig.armForBlock(CyclePacketSize, NoTimeOut); // later cycles: armed by the last handler
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
            rig.blockThreadFor(BytesInFlight);
        }
        QVERIFY(!rig.offUiThread);
    }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
