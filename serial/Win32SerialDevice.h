#pragma once

#include "serial/OpenFailure.h"
#include "serial/SerialDevice.h"
#include "serial/SerialTypes.h"

#include <optional>
#include <string>
#include <windows.h>

// What closing the device puts back as it was before the opening.
struct TDeviceRestore {
    std::optional<DCB> line;
    std::optional<COMMTIMEOUTS> timeouts;
};

// How a port is opened: overlapped for the event loop, blocking for the firmware loader.
enum class TDeviceIo { Overlapped, Blocking };
struct TDeviceRequest {
    TDeviceIo io = TDeviceIo::Overlapped;
    DWORD inQueue = 4096; // the driver's queues
    DWORD outQueue = 4096;
    COMMTIMEOUTS timeouts{};
};

struct TOpenResult {
    HANDLE handle = INVALID_HANDLE_VALUE;
    TOpenFailure failure = TOpenFailure::None;
    int error = 0; // the failure as an errno value, for the texts the platforms share
    TDeviceRestore restore{};
};

// Opens `path` ("\\.\COM3") with CreateFileW, no sharing, asks for the driver's queues, sets
// the line in binary mode and the time-outs, and drops what was received before. "Access
// denied" is a port that another program holds. The handle is closed on every failure.
TOpenResult OpenSerialDevice(const std::string& path, const TLineSettings& line,
                             const TDeviceRequest& request);

// Drops both queues, puts back the line settings and time-outs the port had, and closes.
void CloseSerialDevice(HANDLE handle, const TDeviceRestore& restore);

// An I/O failure on an open port that means the device has gone: the adapter was pulled,
// the driver went away, or the line hung up.
bool DeviceGoneError(DWORD error);
