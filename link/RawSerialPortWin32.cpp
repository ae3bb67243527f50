#include "link/RawSerialPort.h"

#include "serial/OutputStop.h"
#include "serial/Win32SerialDevice.h"

// Blocking reads and writes; the driver's time-outs give the loader's waits.
struct TRawSerialPort::Platform {
    HANDLE handle = INVALID_HANDLE_VALUE;
    TDeviceRestore restore; // put back on closing
};

namespace {

constexpr DWORD LoaderQueueSize = 1024;

} // namespace

TRawSerialPort::TRawSerialPort() : platform_(std::make_unique<Platform>()) {}

TRawSerialPort::~TRawSerialPort() {
    Close();
}

bool TRawSerialPort::IsOpen() const {
    return platform_->handle != INVALID_HANDLE_VALUE;
}

bool TRawSerialPort::OpenDevice(const std::string& path, const TLineSettings& line) {
    TDeviceRequest request;
    request.io = TDeviceIo::Blocking;
    request.inQueue = LoaderQueueSize;
    request.outQueue = LoaderQueueSize;
    const TOpenResult opened = OpenSerialDevice(path, line, request);
    if (opened.handle == INVALID_HANDLE_VALUE)
        return false;
    platform_->handle = opened.handle;
    platform_->restore = opened.restore;
    return true;
}

// A read of n bytes waits at most v ms between two bytes and (n + 1) × v ms in all; a write
// gives up after (n + 1) × v ms, so a device that stops reading cannot hold the loader.
void TRawSerialPort::SetTimeouts(int ms) {
    timeoutMs_ = ms < 0 ? 0 : ms;
    if (!IsOpen())
        return;
    const DWORD v = DWORD(timeoutMs_);
    COMMTIMEOUTS timeouts{v, v, v, v, v};
    SetCommTimeouts(platform_->handle, &timeouts);
}

void TRawSerialPort::Close() {
    if (!IsOpen())
        return;
    CloseSerialDevice(platform_->handle, platform_->restore);
    platform_->handle = INVALID_HANDLE_VALUE;
}

bool TRawSerialPort::Write(const std::uint8_t* data, std::size_t count) {
    if (!IsOpen() || SerialOutputStopped())
        return false;
    DWORD written = 0;
    if (!WriteFile(platform_->handle, data, DWORD(count), &written, nullptr))
        return DeviceGoneError(GetLastError()) ? lineDown() : false;
    return written == count;
}

bool TRawSerialPort::Read(std::uint8_t* buffer, std::size_t count) {
    if (!IsOpen())
        return false;
    DWORD got = 0;
    if (!ReadFile(platform_->handle, buffer, DWORD(count), &got, nullptr))
        return lineDown(); // a read fails only when the device has gone
    return got == count;
}
