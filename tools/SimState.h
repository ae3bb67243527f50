#pragma once

#include "config/ConfigImage.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zuvexsim {

// Everything the device keeps across power cycles.
struct DeviceMemory {
    ConfigImage image{};
    std::string pin;
    std::string version;
    std::vector<std::uint8_t> lastFirmware; // accepted records of the last load, as sent
};

// The version line text of a fresh device.
inline const char* const DefaultFirmwareVersion = "2.14";
inline const char* const DefaultPin = "0000";

// The image, PIN and version of a device fresh from the factory.
DeviceMemory factoryMemory();
ConfigImage factoryImage();

// Default state file of the simulator on COM<port>, beside the COM port entries.
std::string defaultStatePath(int port);

// The state file is text, one "key=value" per line: image (60 hex bytes), pin,
// version, firmware (hex bytes). Returns false with a reason when it cannot be read
// or does not hold a complete, valid state; `memory` is then unchanged.
bool loadState(const std::string& path, DeviceMemory& memory, std::string& error);
// Writes through a temporary file and a rename, so a crash never leaves half a state.
bool saveState(const std::string& path, const DeviceMemory& memory, std::string& error);

// Four decimal digits, as the device stores its PIN.
bool isPin(const std::string& pin);

} // namespace zuvexsim
