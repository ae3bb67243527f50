#include "FirmwareSim.h"

#include "link/RawSerialPort.h"

#include <cstring>

bool EnterLoadingMode(const QString& portName) {
    TRawSerialPort port;
    if (!port.Open(portName, 57600, 500))
        return false;
    auto exchange = [&](const char* request, std::uint8_t expected) {
        std::uint8_t reply = 0;
        return port.Write(reinterpret_cast<const std::uint8_t*>(request), std::strlen(request)) &&
               port.Read(&reply, 1) && reply == expected;
    };
    return exchange("U\r", '>') && exchange("<", 'L');
}

QByteArray FirmwareText(const std::vector<std::uint8_t>& bytes) {
    QByteArray text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text += QByteArray::number(bytes[i], 16).rightJustified(2, '0').toUpper();
        text += (i % 16 == 15 || i + 1 == bytes.size()) ? "\r\n" : " ";
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
