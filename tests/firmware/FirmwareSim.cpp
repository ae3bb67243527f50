#include "FirmwareSim.h"

#include "link/FirmwareTransfer.h"
#include "link/LinkProtocol.h"
#include "link/RawSerialPort.h"

using namespace LinkProtocol;

bool EnterLoadingMode(const QString& portName) {
    TRawSerialPort port;
    if (!port.Open(portName, FirmwareBaud, FirmwareAckTimeoutMs))
        return false;
    auto exchange = [&](const QByteArray& request, std::uint8_t expected) {
        std::uint8_t reply = 0;
        return port.Write(reinterpret_cast<const std::uint8_t*>(request.constData()),
                          std::size_t(request.size())) &&
               port.Read(&reply, 1) && reply == expected;
    };
    return exchange(LoadCommand, LoadPrompt) &&
           exchange(QByteArray(1, char(LoadConfirm)), LoadReady);
}

QString SampleFirmware() {
    return qEnvironmentVariable("ZUVEX_SOURCE_DIR") + QStringLiteral("/tools/sample-firmware.zfw");
}
