#pragma once

#include "serial/OpenFailure.h"

#include <string>

// What opening a serial device came to: failure None when it opened.
struct TOpenOutcome {
    TOpenFailure failure = TOpenFailure::None;
    int error = 0; // errno of the failure
};

// Opens the device at `path` exclusively and closes it again at once (IsPortAvailable).
TOpenOutcome ProbeSerialDevice(const std::string& path);
