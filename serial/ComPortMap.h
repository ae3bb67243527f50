#pragma once

#include <string>

// COMn names the entry "COMn" of comPortsDir() (a symbolic link to a device such as
// /dev/ttyUSB0, or the device itself). When that folder exists, a number without an entry
// has no device. Without the folder, COMn is /dev/ttyS<n-1>.
struct TComDevice {
    bool mapped = false; // false: the number has no device
    std::string path;
};

TComDevice ComDeviceOf(int comNumber);
