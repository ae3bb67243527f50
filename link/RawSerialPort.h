#pragma once

#include "serial/SerialTypes.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The firmware loader's own blocking serial port. It opens a COM port by name ("COM3") through
// the same port map and opening rules as the port component, with DTR and RTS held off and no
// flow control. Reads wait as the loader's time-outs say: with time-outs of v ms a read of n
// bytes waits at most v ms between two bytes and (n + 1) × v ms in all, so a one-byte read
// waits at most 2 × v ms. A write of n bytes gives up when the driver takes no byte for v ms,
// and after (n + 1) × v ms in all. Use it from one thread.
class TRawSerialPort {
public:
    TRawSerialPort();
    ~TRawSerialPort(); // closes an open handle
    TRawSerialPort(const TRawSerialPort&) = delete;
    TRawSerialPort& operator=(const TRawSerialPort&) = delete;

    // 8 data bits, no parity, 1 stop bit at `baud`; false (and closed) when any step fails.
    bool Open(const QString& portName, int baud, int timeoutMs);
    bool IsOpen() const;
    void SetTimeouts(int ms);
    void Close();

    // True only when all `count` bytes were written / read.
    bool Write(const std::uint8_t* data, std::size_t count);
    bool Read(std::uint8_t* buffer, std::size_t count);
    // The line went down since opening (adapter pulled out, device gone): reads and writes
    // then fail at once instead of waiting.
    bool LineLost() const { return lost_; }

    // "COM12" -> 12; 0 for anything else.
    static int ComNumberOf(const QString& portName);

private:
    struct Platform; // the open device and what closing puts back (RawSerialPortPosix.cpp,
                     // RawSerialPortWin32.cpp)
    bool OpenDevice(const std::string& path, const TLineSettings& line);
    bool lineDown(); // notes the lost line; false

    std::unique_ptr<Platform> platform_;
    int timeoutMs_ = 0;
    bool lost_ = false;
};
