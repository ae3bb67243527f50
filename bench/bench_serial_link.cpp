// Serial layer figures over a pseudo-terminal:
//  - round trip: a byte written on the master until OnPacket runs on the user-interface
//    thread, 1000 trips, median and 99th percentile;
//  - idle: CPU time of the whole process in 10 s with the port open and the collector armed
//    (goal: at most 0.1% of one core), and the wake-ups of all its threads (context switches)
//    per second while the port is open and nothing is armed (goal: none).
// Usage: bench_serial_link [trips] [idle seconds]
#include "BenchPty.h"
#include "app/EventLoopChoice.h"
#include "serial/ConfigHome.h"
#include "serial/DataPacket.h"
#include "serial/SerialPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <time.h>
#include <vector>

namespace {

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Context switches of every thread of this process: each one is a wake-up.
long wakeUps() {
    long total = 0;
    QDirIterator tasks(QStringLiteral("/proc/self/task"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (tasks.hasNext()) {
        QFile status(tasks.next() + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.contains("ctxt_switches:"))
                total += line.mid(line.indexOf(':') + 1).trimmed().toLong();
    }
    return total;
}

struct IdleFigures {
    double wall = 0, cpu = 0;
    long wakeUps = 0;
};

// Runs the event loop for `seconds` and measures what the process spent meanwhile.
IdleFigures idleFor(int seconds) {
    QEventLoop idle;
    QTimer::singleShot(seconds * 1000, &idle, &QEventLoop::quit);
    IdleFigures f;
    const double cpu0 = cpuSeconds();
    const long wake0 = wakeUps();
    const auto wall0 = std::chrono::steady_clock::now();
    idle.exec();
    f.cpu = cpuSeconds() - cpu0;
    f.wakeUps = wakeUps() - wake0 - 1; // the timer that ends the loop
    f.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    return f;
}

} // namespace

int main(int argc, char** argv) {
    chooseEventLoop(); // as the program runs
    QCoreApplication app(argc, argv);
    const int trips = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;
    const int idleSeconds = argc > 2 ? std::max(1, atoi(argv[2])) : 10;

    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    QDir().mkpath(QString::fromStdString(comPortsDir()));
    PtyPair pty;
    if (!pty.ok() || !linkComPort(1, pty.slavePath())) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }

    TSerialPort port;
    port.Baud = 57600;
    port.SetComNumber(1);
    port.SetOpen(true);
    TDataPacket packet;
    packet.AutoEnable = false;
    packet.StartCond = scAnyData;
    packet.SetComPort(&port);
    auto arm = [&](int size, int ticks) {
        packet.SetEnabled(false);
        packet.PacketSize = size;
        packet.EndCond = ecPacketSize;
        packet.TimeOut = ticks;
        packet.SetEnabled(true);
    };

    using Clock = std::chrono::steady_clock;
    const int warmup = 20;
    std::vector<double> micros;
    micros.reserve(std::size_t(trips));
    Clock::time_point sent;
    int done = 0;
    QEventLoop loop;
    auto sendNext = [&] {
        sent = Clock::now();
        pty.write(QByteArray(1, char(0x06)));
    };
    packet.OnPacket = [&](TDataPacket*, const uint8_t*, int) {
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - sent).count();
        if (done++ >= warmup)
            micros.push_back(us);
        if (done == trips + warmup) {
            loop.quit();
            return;
        }
        arm(1, 18);
        QTimer::singleShot(0, sendNext);
    };
    packet.OnTimeout = [&](TDataPacket*) {
        std::fprintf(stderr, "time-out during the round trips\n");
        loop.exit(1);
    };
    arm(1, 18);
    QTimer::singleShot(0, sendNext);
    if (loop.exec() != 0)
        return 1;

    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) {
        return micros[std::min(micros.size() - 1, std::size_t(q * double(micros.size())))];
    };
    std::printf("round trip (master write -> OnPacket on the UI thread), %d trips:\n", trips);
    std::printf("  median %.3f ms, p99 %.3f ms, max %.3f ms\n", at(0.5) / 1000, at(0.99) / 1000,
                micros.back() / 1000);

    // idle: port open, collector armed for a reply that does not come
    packet.OnPacket = nullptr;
    arm(61, 2184);
    const IdleFigures armed = idleFor(idleSeconds);
    std::printf("idle with port open and collector armed, %.1f s: CPU %.1f ms = %.3f%% of one "
                "core, %.1f wake-ups/s\n",
                armed.wall, armed.cpu * 1000, 100.0 * armed.cpu / armed.wall,
                double(armed.wakeUps) / armed.wall);
    packet.SetEnabled(false);
    const IdleFigures off = idleFor(idleSeconds);
    std::printf("idle with port open and nothing armed, %.1f s: CPU %.1f ms = %.3f%% of one "
                "core, %ld wake-ups\n",
                off.wall, off.cpu * 1000, 100.0 * off.cpu / off.wall, off.wakeUps);
    port.SetOpen(false);
    return 0;
}
