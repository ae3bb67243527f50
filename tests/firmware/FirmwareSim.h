#pragma once

#include "ShownBox.h"
#include "link/FirmwareTransfer.h"
#include "link/LinkProtocol.h"
#include "link/RawSerialPort.h"

#include <QString>
#include <vector>

// Puts the telephone system on `portName` into loading mode the way the handshake does
// ("U\r", ">", "<", "L"), over a raw port that is closed again afterwards.
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

// The simulator's sample firmware file in the source tree.
inline QString SampleFirmware() {
    return qEnvironmentVariable("ZUVEX_SOURCE_DIR") + QStringLiteral("/tools/sample-firmware.zfw");
}

// The firmware dialog's result box after a whole load.
inline const ShownBox
    FirmwareLoaded("Neue Firmware",
                   {QString(), "Das speichen der Firmware in der Zuvex 910k war erfolgreich."});

// What the transfer reports when the line to COM3 goes down.
inline const QString LineLostOnCom3 =
    QStringLiteral("Die Verbindung zur Zuvex 910k über COM3 wurde unterbrochen. Bitte prüfen Sie "
                   "das Kabel und den USB-Adapter.");

// The simulator's pause after a load before it takes commands again.
constexpr int FirmwareRestartMs = 100;

// The transfer's pauses after a load: before the first record, after the last, and while
// the telephone system restarts.
inline const std::vector<int> LoadedPauses{200, 200, 3000};
