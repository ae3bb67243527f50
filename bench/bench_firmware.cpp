// Firmware transfer throughput against the simulated telephone system with line pacing
// (57600 baud, 10 bits a byte): a 64 KiB file in 256-byte records, sent record by record with
// the drain before each and the acknowledgement 0x11 after it. Prints the record loop's time
// and its throughput as a share of the wire limit (goal: at least 85 %). The fixed pauses
// around the transfer (200 ms before opening, 200 + 3000 ms after) are not part of it.
// Usage: bench_firmware [runs]
#include "app/EventLoopChoice.h"
#include "link/FirmwareTransfer.h"
#include "link/RawSerialPort.h"
#include "tools/ZuvexSim.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t FileBytes = 64 * 1024;
constexpr std::size_t RecordBytes = 256;
constexpr double WireBytesPerSecond = 57600.0 / 10.0;

std::vector<std::uint8_t> firmware() {
    std::vector<std::uint8_t> bytes;
    const std::size_t payload = RecordBytes - 2;
    for (std::size_t r = 0; r < FileBytes / RecordBytes; ++r) {
        bytes.push_back(static_cast<std::uint8_t>(payload >> 8));
        bytes.push_back(static_cast<std::uint8_t>(payload & 0xFF));
        for (std::size_t i = 0; i < payload; ++i)
            bytes.push_back(static_cast<std::uint8_t>(r * 7 + i));
    }
    return bytes;
}

bool enterLoadingMode(TRawSerialPort& port) {
    auto exchange = [&](const char* request, std::uint8_t expected) {
        std::uint8_t reply = 0;
        return port.Write(reinterpret_cast<const std::uint8_t*>(request), std::strlen(request)) &&
               port.Read(&reply, 1) && reply == expected;
    };
    return exchange("U\r", '>') && exchange("<", 'L');
}

} // namespace

int main(int argc, char** argv) {
    chooseEventLoop(); // as the program runs
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());

    zuvexsim::SimOptions options;
    options.port = 3;
    options.pacing = true;
    options.restartMs = 100;
    zuvexsim::ZuvexSim sim(options);
    sim.start();

    const std::vector<std::uint8_t> bytes = firmware();
    // Stop-and-wait: each record's acknowledgement byte follows it on the line.
    const double wireSeconds =
        double(bytes.size() + bytes.size() / RecordBytes) / WireBytesPerSecond;
    std::printf("firmware transfer: %zu bytes in %zu-byte records, 57600 baud paced\n",
                bytes.size(), RecordBytes);
    std::printf("wire time (bytes + acknowledgements): %.3f s\n", wireSeconds);

    double best = 0;
    for (int run = 1; run <= runs; ++run) {
        TRawSerialPort port;
        if (!port.Open(QStringLiteral("COM3"), FirmwareBaud, FirmwareOpenTimeoutMs) ||
            !enterLoadingMode(port)) {
            std::fprintf(stderr, "the simulator did not enter loading mode\n");
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        const TFirmwareOutcome outcome = SendFirmwareRecords(port, bytes, {});
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        port.Close();
        if (outcome != TFirmwareOutcome::Loaded) {
            std::fprintf(stderr, "run %d: transfer failed\n", run);
            return 1;
        }
        const double share = double(bytes.size()) / seconds / WireBytesPerSecond;
        best = std::max(best, share);
        std::printf("run %d: %.3f s, %.0f bytes/s, %.1f %% of the wire limit (%.0f bytes/s)\n", run,
                    seconds, bytes.size() / seconds, share * 100, WireBytesPerSecond);
        // wait until the device has left loading mode and restarted
        sim.waitForMode(zuvexsim::DeviceMode::Restarting, std::chrono::seconds(5));
        sim.waitForMode(zuvexsim::DeviceMode::Command, std::chrono::seconds(5));
    }
    std::printf("best: %.1f %% of the wire limit (goal: at least 85 %%)\n", best * 100);
    return 0;
}
