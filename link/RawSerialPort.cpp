#include "link/RawSerialPort.h"

#include "serial/ComPortMap.h"

int TRawSerialPort::ComNumberOf(const QString& portName) {
    if (!portName.startsWith(QLatin1String("COM")))
        return 0;
    bool ok = false;
    const int number = portName.mid(3).toInt(&ok, 10);
    return ok && number > 0 ? number : 0;
}

bool TRawSerialPort::Open(const QString& portName, int baud, int timeoutMs) {
    Close();
    const TComDevice device = ComDeviceOf(ComNumberOf(portName), TMapRead::Fresh);
    if (!device.mapped)
        return false;
    TLineSettings line;
    line.baud = baud;
    line.parity = pNone;
    line.dataBits = 8;
    line.stopBits = 1;
    line.hwFlow = 0;
    line.swFlow = swfNone;
    line.dtr = false;
    line.rts = false;
    lost_ = false;
    timeoutMs_ = timeoutMs < 0 ? 0 : timeoutMs;
    if (!OpenDevice(device.path, line))
        return false;
    SetTimeouts(timeoutMs);
    return true;
}

bool TRawSerialPort::lineDown() {
    lost_ = true;
    return false;
}
