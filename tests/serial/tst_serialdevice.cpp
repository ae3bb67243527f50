// The port leaves the terminal it opened as it found it, and never takes the program's own.
#include "ChildProcess.h"
#include "PtyPair.h"
#include "TestHome.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

#include <QTest>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

constexpr uint16_t Com = 5;
constexpr int32_t LineBaud = 57600;

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

bool portOpens(TSerialPort& port) {
    port.Baud = LineBaud;
    port.SetComNumber(Com);
    try {
        port.SetOpen(true);
    } catch (const ESerialError&) {
        return false;
    }
    return port.Open();
}

} // namespace

class TestSerialDevice : public QObject {
    Q_OBJECT
    TestHome home_;

private slots:
    void closingRestoresTheLine() {
        PtyPair pty;
        QVERIFY(pty.ok());
        QVERIFY(linkComPort(Com, pty.slavePath()));
        const termios before = lineOf(pty.master());
        {
            TSerialPort port;
            QVERIFY(portOpens(port));
            QVERIFY(!sameLine(lineOf(pty.master()), before)); // raw at the line's speed
        }
        QVERIFY(sameLine(lineOf(pty.master()), before));
    }

    // A ports entry that leads to the program's own terminal is refused like any device that
    // is no serial port, and the terminal keeps its settings.
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
            return portOpens(port) ? Opened : Refused;
        });
        QCOMPARE(result, int(Refused));
        QVERIFY(sameLine(lineOf(pty.master()), before));
    }
};

QTEST_GUILESS_MAIN(TestSerialDevice)
#include "tst_serialdevice.moc"
