#pragma once

#include "serial/SerialError.h"

#include <string>

// Why a serial device did not open.
enum class TOpenFailure {
    None,
    NotFound,     // ENOENT, ENODEV, ENXIO: no such device (any more)
    NoPermission, // EACCES, EPERM: the user may not open it
    InUse,        // EBUSY (TIOCEXCL), or another process holds the lock
    Settings,     // the driver refuses the line settings
    Other,
};

// The cause of an errno from open(), flock() or TIOCEXCL.
TOpenFailure OpenFailureOf(int error);

// A COM port that did not open. The text names the port, its device and the cause, and for
// a missing permission how to get it.
class EPortOpenError : public ESerialError {
public:
    EPortOpenError(int comNumber, const std::string& device, TOpenFailure failure, int error);
    // A device named by its path alone, with no COM number ("Das Gerät /dev/ttyUSB0 ...").
    EPortOpenError(const std::string& device, TOpenFailure failure, int error);
    TOpenFailure failure() const { return failure_; }

private:
    TOpenFailure failure_;
};
