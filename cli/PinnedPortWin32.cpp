// Windows pins the port in the COM map itself: there is no ports folder.
#include "cli/PinnedPort.h"

#include "cli/PortPinning.h"
#include "serial/SoleComPortWin32.h"
#include "serial/Win32SerialDevice.h"

struct TPinnedPort::THold {
    ~THold() { ReleaseSoleComPort(); }
};

TPinnedPort::TPinnedPort(int comNumber, const QString& device) {
    const std::optional<QString> path = DeviceToPin(comNumber, device);
    if (!path)
        return;
    // opened and closed again as the conversation will open it
    const TOpenResult opened =
        OpenSerialDevice(path->toStdString(), TLineSettings{}, TDeviceRequest{});
    if (opened.handle == INVALID_HANDLE_VALUE) {
        ReportOpeningRefusal(comNumber, device, *path, opened.failure, opened.error);
        return;
    }
    CloseSerialDevice(opened.handle, opened.restore);
    const int number = device.isEmpty() ? comNumber : 1;
    PinSoleComPort(number, path->toStdString());
    hold_ = std::make_unique<THold>();
    comNumber_ = number;
}

TPinnedPort::~TPinnedPort() = default;

const char* const DeviceExample = "\\\\.\\COM3";
