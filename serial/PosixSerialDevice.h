#pragma once

#include "serial/OpenFailure.h"
#include "serial/SerialTypes.h"

#include <string>

// Opening a serial device for the port component: exclusive, non-blocking, raw.
struct TOpenResult {
    int fd = -1;
    TOpenFailure failure = TOpenFailure::None;
    int error = 0; // errno of the failure
};

// Opens `path` with O_RDWR|O_NOCTTY|O_NONBLOCK|O_CLOEXEC, takes flock(LOCK_EX|LOCK_NB)
// (root ignores TIOCEXCL), sets TIOCEXCL and the line. A device that is no terminal, or is the
// program's own controlling terminal, is refused. The descriptor is closed on every failure.
TOpenResult OpenSerialDevice(const std::string& path, const TLineSettings& line);

// Drops both queues, gives the line back the settings it had when it was opened, ends
// exclusive mode and closes.
void CloseSerialDevice(int fd);
