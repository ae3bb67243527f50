#pragma once

#include "config/ConfigImage.h"
#include "tools/SimDevice.h"
#include "tools/SimOptions.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zuvexsim {

// One byte on the line, as the simulator saw it: received from the Configurator or sent to it.
struct WireByte {
    bool received;
    std::uint8_t byte;
    Clock::time_point at; // when the simulator read it from, or wrote it to, the line
};

// How many bytes of traffic the simulator keeps, the latest: far more than the longest exchange
// (a firmware file of the largest size), and a bound on its memory when the line carries noise.
constexpr std::size_t TrafficKept = std::size_t(1) << 20;

// A Zuvex 910k on a pseudo-terminal, published as COM<n>. Every start() creates a fresh
// pseudo-terminal and a line thread that answers the protocol; stop() (or destruction)
// ends the thread and removes the COM<n> entry. All methods are thread-safe.
class ZuvexSim {
public:
    explicit ZuvexSim(SimOptions options = {});
    ~ZuvexSim();
    ZuvexSim(const ZuvexSim&) = delete;
    ZuvexSim& operator=(const ZuvexSim&) = delete;

    void start(); // throws std::runtime_error when the port cannot be created or published
    void stop();
    bool running() const;

    int port() const;
    std::string portPath() const;  // the COM<n> entry
    std::string slavePath() const; // the pseudo-terminal it points to while running

    // Device memory; the setters persist to the state file like the device's own changes.
    ConfigImage image() const;
    void setImage(const ConfigImage& image);
    std::string pin() const;
    void setPin(const std::string& pin);
    std::string firmwareVersion() const;
    void setFirmwareVersion(const std::string& version);
    std::vector<std::uint8_t> lastFirmware() const;
    DeviceMode mode() const;
    bool hungUp() const; // the line was closed by the hang-up fault

    // The bytes received and sent since start() or clearTraffic(), in order; the last
    // TrafficKept of them. The counts waited for include the bytes no longer kept.
    std::vector<WireByte> traffic() const;
    std::string received() const;
    std::string sent() const;
    void clearTraffic();
    bool waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const;
    bool waitForSent(std::size_t count, std::chrono::milliseconds timeout) const;
    bool waitForMode(DeviceMode mode, std::chrono::milliseconds timeout) const;

    // Fault injection, effective from the next byte received.
    SimFaults faults() const;
    void setFaults(const SimFaults& faults);
    void setSilent(bool silent);
    void setIdentification(const std::string& text);
    void setCorruptReadChecksum(bool corrupt);
    void setWriteFault(const AckFault& fault);
    void setPinFault(const AckFault& fault);
    void setAckDelay(int ms);
    void setChunking(int size, int pauseMs);
    void setStrayBytes(const std::string& before, const std::string& after,
                       unsigned on = AllReplies);
    void setRecordRejection(int record, int times);
    void setSilentRecord(int record);
    void setNeverSendL(bool never);
    void setHangUpAfter(long receivedBytes);
    void setPacing(bool pacing);

    // Makes sure COM<port> does not exist, so that the port counts as missing.
    static void removePortEntry(int port, const std::string& portsDir = {});

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace zuvexsim
