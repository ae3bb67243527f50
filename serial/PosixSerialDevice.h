#pragma once

#include "serial/OpenFailure.h"
#include "serial/SerialDevice.h"
#include "serial/SerialTypes.h"

#include <optional>
#include <string>
#include <termios.h>

// What closing the device puts back as it was before the opening.
struct TDeviceRestore {
    std::optional<termios> line;    // the line settings the device had
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
// (root ignores TIOCEXCL), sets TIOCEXCL (not on a pseudo-terminal) and the line, and asks the
// driver for low latency (see LowLatency.h). A device that is no terminal, or is a session's
// controlling terminal (the user's shell), is refused. The descriptor is closed on every failure.
TOpenResult OpenSerialDevice(const std::string& path, const TLineSettings& line);

// Drops both queues, puts back what the opening changed (the driver's flags and the line
// settings), ends exclusive mode and closes.
void CloseSerialDevice(int fd, const TDeviceRestore& restore);
