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

QByteArray FirmwareText(const std::vector<std::uint8_t>& bytes) {
    QByteArray text;
    constexpr std::size_t ValuesPerLine = 16;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text += QByteArray::number(bytes[i], 16).rightJustified(2, '0').toUpper();
        text += ((i + 1) % ValuesPerLine == 0 || i + 1 == bytes.size()) ? "\r\n" : " ";
    }
    return text;
}

std::vector<std::uint8_t> FirmwareRecords(std::size_t count, std::size_t payload) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(payload >> 8));
        bytes.push_back(static_cast<std::uint8_t>(payload & 0xFF));
        bytes.insert(bytes.end(), payload, static_cast<std::uint8_t>(i + 1));
    }
    return bytes;
}

std::string AsString(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

QString SampleFirmware() {
    return qEnvironmentVariable("ZUVEX_SOURCE_DIR") + QStringLiteral("/tools/sample-firmware.zfw");
}
