#pragma once

#include "tools/SimOptions.h"
#include "tools/SimState.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zuvexsim {

using Clock = std::chrono::steady_clock;

// What the device is doing; visible to tests through ZuvexSim::mode().
enum class DeviceMode { Command, Writing, PinChange, Loading, Restarting };

// The line and the memory as the protocol sees them. send() and pause() keep recording
// input while they wait and throw when the simulator stops or hangs up.
class SimHost {
public:
    virtual ~SimHost() = default;
    virtual void send(const std::string& bytes) = 0;
    virtual void pause(std::chrono::milliseconds duration) = 0;
    virtual void note(const std::string& event) = 0;
    virtual SimFaults faults() = 0;
    virtual DeviceMemory memory() = 0;
    virtual void store(const DeviceMemory& memory) = 0;
    virtual void modeChanged(DeviceMode mode) = 0;
};

struct SimTimings {
    std::chrono::milliseconds restart{300};
    std::chrono::milliseconds loadIdle{1000};
    std::chrono::milliseconds exchangeIdle{2000};
};

// The device's side of the protocol: fed one received byte at a time, in order, with the
// time it arrived; answers through the host. Runs on the simulator's line thread only.
class SimDevice {
public:
    SimDevice(SimHost& host, SimTimings timings);

    void onByte(std::uint8_t byte, Clock::time_point at);
    // When the current mode ends by itself (restart over, loading or exchange idle).
    std::optional<Clock::time_point> deadline() const;
    void onDeadline();
    // The simulator stops: records accepted by a running firmware load are kept.
    void powerOff();

private:
    void commandByte(std::uint8_t byte);
    void commandLine(const std::string& line);
    void writeByte(std::uint8_t byte);
    void pinByte(std::uint8_t byte);
    void loadByte(std::uint8_t byte);
    void recordComplete();
    void endLoading();
    // Stores the accepted records as the last firmware, unless the load was broken off.
    void keepLoadedFirmware();

    // Sends an acknowledgement unless `fault` applies at `step`; false: the fault ended the
    // exchange and the device is back to commands.
    // `commit` runs just before the ACK goes out, so that whoever has seen the ACK also
    // sees its effect on the device.
    bool acknowledge(const AckFault& fault, int step, ReplyKind kind, const SimFaults& faults,
                     const std::function<void()>& commit = {});
    // Ends the running exchange and answers with `byte` (NAK or another refusal).
    void refuse(ReplyKind kind, std::uint8_t byte, const std::string& why, const SimFaults& faults);
    void reply(ReplyKind kind, const std::string& bytes, const SimFaults& faults);
    void enter(DeviceMode mode);
    void restart();

    SimHost& host_;
    SimTimings timings_;
    DeviceMode mode_ = DeviceMode::Command;
    Clock::time_point lastActivity_{};
    Clock::time_point restartEnd_{};

    std::string line_;                 // command text received so far
    bool awaitingLoadConfirm_ = false; // ">" sent, "<" expected
    ConfigImage incoming_{};           // image bytes of a running write
    int writeCount_ = 0;               // image bytes received in the running write
    std::string pinBytes_;             // bytes of the running PIN step
    int pinStep_ = 0;                  // 1: old PIN awaited, 2: new PIN awaited
    std::string record_;               // bytes of the firmware record being received
    int recordIndex_ = 0;              // index of that record in the load
    int rejections_ = 0;               // NAKs already sent for the rejected record
    bool overflowed_ = false;          // a record of the load did not fit into the flash
    std::vector<std::uint8_t> loaded_; // accepted records of the running load
};

} // namespace zuvexsim
