#pragma once

#include "serial/OpenFailure.h"
#include "serial/SerialTypes.h"

#include <optional>
#include <string>

// What closing the device puts back as it was before the opening.
struct TDeviceRestore {
    std::optional<int> serialFlags; // the driver's flags, when low latency changed them
};

// Opening a serial device for the port component: exclusive, non-blocking, raw.
struct TOpenResult {
    int fd = -1;
    TOpenFailure failure = TOpenFailure::None;
    int error = 0; // errno of the failure
    TDeviceRestore restore{};
};

// Opens `path` with O_RDWR|O_NOCTTY|O_NONBLOCK|O_CLOEXEC, takes flock(LOCK_EX|LOCK_NB)
// (root ignores TIOCEXCL), sets TIOCEXCL and the line, and asks the driver for low latency
// (see LowLatency.h). The descriptor is closed on every failure.
TOpenResult OpenSerialDevice(const std::string& path, const TLineSettings& line);

// Drops both queues, puts back what the opening changed, ends exclusive mode and closes.
void CloseSerialDevice(int fd, const TDeviceRestore& restore);
