#include "serial/Win32SerialDevice.h"

#include <QString>
#include <cerrno>

namespace {

bool dcbOf(const TLineSettings& line, DCB& dcb) {
    dcb.BaudRate = DWORD(line.baud);
    if (line.dataBits < 5 || line.dataBits > 8)
        return false;
    dcb.ByteSize = BYTE(line.dataBits);
    switch (line.parity) {
    case pNone:
        dcb.Parity = NOPARITY;
        break;
    case pOdd:
        dcb.Parity = ODDPARITY;
        break;
    case pEven:
        dcb.Parity = EVENPARITY;
        break;
    case pMark:
        dcb.Parity = MARKPARITY;
        break;
    case pSpace:
        dcb.Parity = SPACEPARITY;
        break;
    }
    if (line.stopBits == 1)
        dcb.StopBits = ONESTOPBIT;
    else if (line.stopBits == 2)
        dcb.StopBits = TWOSTOPBITS;
    else
        return false;
    dcb.fBinary = TRUE;
    dcb.fParity = line.parity != pNone;
    dcb.fOutxCtsFlow = (line.hwFlow & hwfRequireCTS) != 0;
    dcb.fOutxDsrFlow = (line.hwFlow & hwfRequireDSR) != 0;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = (line.hwFlow & hwfUseDTR) ? DTR_CONTROL_HANDSHAKE
                      : line.dtr                ? DTR_CONTROL_ENABLE
                                                : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = (line.hwFlow & hwfUseRTS) ? RTS_CONTROL_HANDSHAKE
                      : line.rts                ? RTS_CONTROL_ENABLE
                                                : RTS_CONTROL_DISABLE;
    dcb.fOutX = line.swFlow == swfTransmit || line.swFlow == swfBoth;
    dcb.fInX = line.swFlow == swfReceive || line.swFlow == swfBoth;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE; // received NUL bytes are kept
    dcb.fAbortOnError = FALSE;
    return true;
}

TOpenResult openFailed(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return {INVALID_HANDLE_VALUE, TOpenFailure::NotFound, ENOENT};
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return {INVALID_HANDLE_VALUE, TOpenFailure::InUse, EBUSY};
    default:
        return {INVALID_HANDLE_VALUE, TOpenFailure::Other, EIO};
    }
}

TOpenResult refusedSettings(HANDLE handle, const TDeviceRestore& restore) {
    CloseSerialDevice(handle, restore);
    return {INVALID_HANDLE_VALUE, TOpenFailure::Settings, EINVAL};
}

} // namespace

TOpenResult OpenSerialDevice(const std::string& path, const TLineSettings& line,
                             const TDeviceRequest& request) {
    const std::wstring name = QString::fromStdString(path).toStdWString();
    const DWORD flags = request.io == TDeviceIo::Overlapped ? FILE_FLAG_OVERLAPPED : 0;
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      0 /* no sharing */, nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return openFailed(GetLastError());
    TDeviceRestore restore;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS timeouts{};
    if (!GetCommState(handle, &dcb) || !GetCommTimeouts(handle, &timeouts))
        return refusedSettings(handle, restore); // no serial port
    restore = {dcb, timeouts};
    COMMTIMEOUTS wanted = request.timeouts;
    if (!SetupComm(handle, request.inQueue, request.outQueue) || !dcbOf(line, dcb) ||
        !SetCommState(handle, &dcb) || !SetCommTimeouts(handle, &wanted))
        return refusedSettings(handle, restore);
    // A freshly opened port starts without bytes received before the opening.
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_RXABORT);
    return {handle, TOpenFailure::None, 0, restore};
}

void CloseSerialDevice(HANDLE handle, const TDeviceRestore& restore) {
    if (handle == INVALID_HANDLE_VALUE)
        return;
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_TXABORT);
    if (restore.line) {
        DCB before = *restore.line;
        SetCommState(handle, &before); // a device that has gone keeps nothing to restore
    }
    if (restore.timeouts) {
        COMMTIMEOUTS before = *restore.timeouts;
        SetCommTimeouts(handle, &before);
    }
    CloseHandle(handle);
}

bool DeviceGoneError(DWORD error) {
    switch (error) {
    case ERROR_BAD_COMMAND:       // the driver no longer knows the request: adapter pulled
    case ERROR_OPERATION_ABORTED: // the driver ended the pending I/O as the device went
    case ERROR_ACCESS_DENIED:     // I/O on a handle whose device has been removed
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_GEN_FAILURE:
    case ERROR_INVALID_HANDLE:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_NOT_READY:   // Wine: a write after the other end hung up
    case ERROR_BROKEN_PIPE: // Wine: a read after the other end hung up
        return true;
    default:
        return false;
    }
}

TOpenOutcome ProbeSerialDevice(const std::string& path) {
    const TOpenResult opened = OpenSerialDevice(path, TLineSettings{}, TDeviceRequest{});
    if (opened.handle == INVALID_HANDLE_VALUE)
        return {opened.failure, opened.error};
    CloseSerialDevice(opened.handle, opened.restore);
    return {};
}
