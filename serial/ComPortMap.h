#pragma once

#include <functional>
#include <string>
#include <vector>

// How COM numbers become devices. When the ports folder comPortsDir() exists, COMn is its
// entry "COMn" (a symbolic link to a device such as /dev/ttyUSB0, or the device itself) and a
// number without an entry has no device. Without the folder the numbers are given
// automatically to the serial ports the machine has (AutomaticComPorts). Reading the
// platform's list takes milliseconds, so the automatic map is kept and read afresh only when a
// search starts, the free ports are scanned or a port is opened: an adapter plugged in later
// is then found by the next search.
struct TComDevice {
    bool mapped = false; // false: the number has no device
    std::string path;
};

enum class TMapRead { Kept, Fresh };
TComDevice ComDeviceOf(int comNumber, TMapRead read = TMapRead::Kept);
void RefreshComPortMap();

// The highest COM number the program knows; the device search goes up to it.
constexpr int MaxComNumber = 20;

// A serial port as the platform lists it.
enum class TPortKind { BuiltinUart, Adapter }; // Adapter: behind USB (FTDI, PL2303, CH340, ACM)
struct TFoundPort {
    std::string device;     // "/dev/ttyUSB0"
    std::string kernelName; // "ttyUSB0"
    std::string byIdName;   // its name under /dev/serial/by-id/, empty when udev gives none
    TPortKind kind = TPortKind::Adapter;
    bool unknownUart = false; // a UART slot the kernel reports with type "unknown": no hardware
};

// The automatic map: built-in UARTs with hardware in kernel-name order (ttyS2 before ttyS10),
// then the adapters, those with a by-id name in the order of that name, then the others in
// kernel-name order. Element i is the device of COM(i + 1); at most MaxComNumber elements.
std::vector<std::string> AutomaticComPorts(std::vector<TFoundPort> found);

// The platform's list of serial ports (libudev). Tests put their own list in its place;
// an empty function restores the platform's.
std::vector<TFoundPort> ListSerialPorts();
void SetSerialPortLister(std::function<std::vector<TFoundPort>()> lister);
