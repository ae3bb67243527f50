#pragma once

#include "ShownBox.h"
#include "link/FirmwareTransfer.h"
#include "link/LinkProtocol.h"
#include "link/RawSerialPort.h"

#include <QString>
#include <vector>

// Puts the device on `portName` into loading mode as the handshake does ("U\r", ">", "<", "L").
inline bool EnterLoadingMode(const QString& portName) {
    using namespace LinkProtocol;
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

inline QString SampleFirmware() {
    return qEnvironmentVariable("ZUVEX_SOURCE_DIR") + QStringLiteral("/tools/sample-firmware.zfw");
}

// The firmware dialog's result box after a whole load.
inline const ShownBox
    FirmwareLoaded("Neue Firmware",
                   {QString(), "Das speichen der Firmware in der Zuvex 910k war erfolgreich."});

inline const QString LineLostOnCom3 =
    QStringLiteral("Die Verbindung zur Zuvex 910k über COM3 wurde unterbrochen. Bitte prüfen Sie "
                   "das Kabel und den USB-Adapter.");

constexpr int FirmwareRestartMs = 100; // the simulator's pause after a load

// The transfer's pauses: before the first record, after the last, while the device restarts.
inline const std::vector<int> LoadedPauses{200, 200, 3000};
