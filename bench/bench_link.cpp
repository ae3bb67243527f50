// Link conversation figures against the device simulator, through the real main window:
//  - a full read ("R0000,3c\r" and the 61-byte block) and a full write ("W0000,3c\r", 60 bytes
//    and the checksum, each after the previous ACK) with line pacing at 57600 baud on and off,
//    each timed from the command until its result box shows, against the time the bytes need
//    on the wire (goal with pacing: read within 1.1x, write within 1.15x), and our part of
//    each write round trip (goal: median 40 us, p99 200 us), beside the device's part and
//    the same figure for a bare responder thread, the floor that the pseudo-terminal sets;
//  - the whole write with that bare responder, and the program's write and round trip with
//    the floor taken off: what the program itself adds to the wire time;
//  - the start-up search finding the device on COM3 after a silent COM1, against the floor
//    that the fixed pauses and the identification time-out put under it.
// The program's own event loop runs throughout, blocked in QEventLoop::exec() until the
// awaited box shows, so every received byte has to wake a sleeping loop as it does for a user.
// Usage: bench_link [runs]
#include "app/AppFormProbe.h"
#include "app/EventLoopChoice.h"
#include "app/MessageDialogs.h"
#include "link/SearchDialogs.h"
#include "serial/ConfigHome.h"
#include "tools/ZuvexSim.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace zuvexsim;
using Clock = std::chrono::steady_clock;

namespace {

// The window's dialogs have no parent: found among the top-level widgets by object name.
template <class T> T* topLevel(const char* name) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String(name))
            if (auto* found = dynamic_cast<T*>(widget))
                return found;
    return nullptr;
}

constexpr double ByteMs = 10.0 / 57600.0 * 1000.0; // start bit, 8 data bits, stop bit

// Records when a dialog shows and closes it again at once (also the programming result box,
// whose 2.7 s hold is no part of the transfer). The waiting runs the program's own event loop:
// `wait` blocks in QEventLoop::exec() until the dialog has shown and closed again.
class ShowStopwatch : public QObject {
public:
    explicit ShowStopwatch(QDialog* dialog) : dialog_(dialog) { dialog->installEventFilter(this); }
    bool shown = false;
    Clock::time_point at;

    // false when the dialog did not show within `timeoutMs`
    bool wait(int timeoutMs) {
        if (!closed_) {
            QTimer::singleShot(timeoutMs, &loop_, [this] { loop_.exit(1); });
            if (loop_.exec() != 0)
                return false;
        }
        return shown;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && !shown) {
            shown = true;
            at = Clock::now();
            // a modal dialog's own loop runs inside ours: close it from there
            QTimer::singleShot(0, dialog_, [d = dialog_] {
                if (auto* prog = qobject_cast<TProgErgebnisDialog*>(d))
                    prog->Timer1->stop();
                d->done(mrOk);
            });
        } else if (event->type() == QEvent::Hide && shown && !closed_) {
            closed_ = true;
            loop_.quit();
        }
        return false;
    }

private:
    QDialog* dialog_;
    QEventLoop loop_;
    bool closed_ = false;
};

// Runs the event loop for `ms` milliseconds.
void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Figures {
    std::vector<double> values;
    double median() { return at(0.5); }
    double at(double q) {
        std::sort(values.begin(), values.end());
        return values.empty()
                   ? 0
                   : values[std::min(values.size() - 1, std::size_t(q * double(values.size())))];
    }
    double mean() {
        double sum = 0;
        for (double v : values)
            sum += v;
        return values.empty() ? 0 : sum / double(values.size());
    }
    double min() { return values.empty() ? 0 : *std::min_element(values.begin(), values.end()); }
};

// Times one command: from triggering `action` until `dialog` shows.
double timeCommand(QAction* action, QDialog* dialog, Clock::time_point* started = nullptr,
                   Clock::time_point* shown = nullptr) {
    ShowStopwatch watch(dialog);
    const auto start = Clock::now();
    if (started)
        *started = start;
    // triggered from the running loop, as a menu click is
    QTimer::singleShot(0, action, &QAction::trigger);
    if (!watch.wait(10000)) {
        std::fprintf(stderr, "no result box\n");
        return -1;
    }
    if (shown)
        *shown = watch.at;
    return ms(watch.at - start);
}

// The device on COM3 for the transfers; it restarts quickly after a write.
SimOptions transferOptions(bool pacing) {
    SimOptions options;
    options.port = 3;
    options.pacing = pacing;
    options.restartMs = 50;
    return options;
}

struct WriteFigures {
    double writeMs = 0; // median, command to result box
    double tripUs = 0;  // median of our part of a round trip
};

WriteFigures transfers(bool pacing, int runs) {
    ZuvexSim sim(transferOptions(pacing));
    sim.start();
    TAppFormProbe form;
    // connect first: the search, then one read
    timeCommand(form.findChild<QAction*>("Download"), topLevel<TErgebnisDialog>("ErgebnisDialog"));
    Figures read, write, ours, device, before, after;
    for (int i = 0; i < runs; ++i) {
        read.values.push_back(timeCommand(form.findChild<QAction*>("Download"),
                                          topLevel<TErgebnisDialog>("ErgebnisDialog")));
        sim.clearTraffic();
        Clock::time_point started, shown;
        write.values.push_back(timeCommand(form.findChild<QAction*>("Upload"),
                                           topLevel<TProgErgebnisDialog>("ProgErgebnisDialog"),
                                           &started, &shown));
        // our part of each round trip: from the simulator's ACK to the next byte it received;
        // the device's part: from that byte to its ACK
        // (the command's ACK is left out: its nine bytes came in one read)
        const std::vector<WireByte> line = sim.traffic();
        bool commandAcked = false;
        for (std::size_t k = 1; k < line.size(); ++k) {
            if (line[k].received && !line[k - 1].received)
                ours.values.push_back(ms(line[k].at - line[k - 1].at) * 1000.0);
            if (!line[k].received && line[k - 1].received && line[k].byte == 0x06) {
                if (commandAcked)
                    device.values.push_back(ms(line[k].at - line[k - 1].at) * 1000.0);
                commandAcked = true;
            }
        }
        if (!line.empty()) {
            before.values.push_back(ms(line.front().at - started));
            after.values.push_back(ms(shown - line.back().at));
        }
        pause(120); // the device restarts after a write
    }
    const double readWire = (9 + 61) * ByteMs;
    const double writeWire = (9 + 61 + 62) * ByteMs;
    std::printf("pacing %-3s  read : median %7.2f ms  min %7.2f ms  wire %6.2f ms  ratio %5.2f\n",
                pacing ? "on" : "off", read.median(), read.min(), readWire,
                read.median() / readWire);
    std::printf("pacing %-3s  write: median %7.2f ms  min %7.2f ms  wire %6.2f ms  ratio %5.2f\n",
                pacing ? "on" : "off", write.median(), write.min(), writeWire,
                write.median() / writeWire);
    std::printf("pacing %-3s  write round trip, ACK sent to next byte read by the device: "
                "median %6.1f us  p99 %6.1f us  mean %6.1f us\n",
                pacing ? "on" : "off", ours.median(), ours.at(0.99), ours.mean());
    std::printf("pacing %-3s  write round trip, byte read to its ACK sent by the device: "
                "median %6.1f us  p99 %6.1f us  mean %6.1f us\n",
                pacing ? "on" : "off", device.median(), device.at(0.99), device.mean());
    std::printf("pacing %-3s  write, command to its first byte read: median %5.2f ms; last ACK "
                "to result box: median %5.2f ms\n",
                pacing ? "on" : "off", before.median(), after.median());
    return {write.median(), ours.median()};
}

// The same write with a bare responder in place of the program: a thread blocked in read()
// on the port that writes the next byte as soon as an ACK came. Its part of each round trip
// is what the pseudo-terminal and two wake-ups cost on this machine, the floor under ours.
void bareWrite(int runs, const WriteFigures& program) {
    ZuvexSim sim(transferOptions(true));
    sim.start();
    const int fd = ::open(sim.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (fd < 0 || ::tcgetattr(fd, &tio) != 0) {
        std::fprintf(stderr, "cannot open %s\n", sim.slavePath().c_str());
        return;
    }
    ::cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &tio);
    const ConfigImage image = sim.image();
    std::vector<std::uint8_t> steps(image.begin(), image.end());
    steps.push_back(imageChecksum(image));
    Figures bare, whole;
    for (int i = 0; i < runs; ++i) {
        sim.clearTraffic();
        const auto start = Clock::now();
        const char command[] = "W0000,3c\r";
        bool ok = ::write(fd, command, sizeof command - 1) == ssize_t(sizeof command - 1);
        std::uint8_t answer = 0;
        for (std::size_t k = 0; ok && k <= steps.size(); ++k) {
            ok = ::read(fd, &answer, 1) == 1 && answer == 0x06;
            if (ok && k < steps.size())
                ok = ::write(fd, &steps[k], 1) == 1;
        }
        if (!ok) {
            std::fprintf(stderr, "bare write failed\n");
            break;
        }
        whole.values.push_back(ms(Clock::now() - start));
        const std::vector<WireByte> line = sim.traffic();
        for (std::size_t k = 1; k < line.size(); ++k)
            if (line[k].received && !line[k - 1].received)
                bare.values.push_back(ms(line[k].at - line[k - 1].at) * 1000.0);
        std::this_thread::sleep_for(std::chrono::milliseconds(120)); // the device restarts
    }
    ::close(fd);
    std::printf("pacing on   write round trip with a bare responder thread instead of the program: "
                "median %6.1f us  p99 %6.1f us  mean %6.1f us\n",
                bare.median(), bare.at(0.99), bare.mean());
    // The pseudo-terminal and the simulator's thread put a floor under every round trip that
    // a UART does not have; what the program adds on top of it is ours.
    const double wire = (9 + 61 + 62) * ByteMs;
    std::printf(
        "pacing on   write with a bare responder: median %7.2f ms  wire %6.2f ms  ratio %5.2f "
        "(the floor)\n",
        whole.median(), wire, whole.median() / wire);
    std::printf("pacing on   write beyond that floor: ratio %5.2f; our part of a round trip "
                "beyond it: median %6.1f us\n",
                (program.writeMs - whole.median() + wire) / wire, program.tripUs - bare.median());
}

void search(int runs) {
    SimOptions silentOptions = silentPortOptions(1);
    ZuvexSim silent(silentOptions);
    silent.start();
    SimOptions options;
    options.port = 3;
    options.pacing = true;
    ZuvexSim sim(options);
    sim.start();
    Figures found;
    for (int i = 0; i < runs; ++i) {
        TAppFormProbe form;
        // the search dialog closes when the device has answered its identification
        ShowStopwatch result(topLevel<TErgebnisDialog>("ErgebnisDialog"));
        Clock::time_point identified{};
        QObject::connect(topLevel<TSuchenDlg>("SuchenDlg"), &QDialog::finished,
                         [&] { identified = Clock::now(); });
        const auto start = Clock::now();
        QTimer::singleShot(0, &form, &QWidget::show);
        result.wait(15000);
        found.values.push_back(ms(identified - start));
        form.hide();
    }
    // COM1: 200 ms pause, 12 ticks (at least 660 ms); COM3: 200 ms pause, "T\r"/"V\r" lines.
    const double floor = 200 + 660 + 200 + (2 + 12 + 2 + 2 + 3) * ByteMs;
    std::printf("search COM3 after silent COM1: median %7.1f ms  min %7.1f ms  floor %6.1f ms  "
                "ratio %5.3f\n",
                found.median(), found.min(), floor, found.median() / floor);
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    chooseEventLoop(); // as the program runs
    QApplication app(argc, argv);
    QDir().mkpath(QString::fromStdString(comPortsDir()));
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const WriteFigures paced = transfers(true, runs);
    transfers(false, runs);
    bareWrite(runs, paced);
    search(std::max(1, runs / 4));
    return 0;
}
