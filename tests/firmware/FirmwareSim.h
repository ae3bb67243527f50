#pragma once

#include <QString>
#include <vector>

// Puts the telephone system on `portName` into loading mode the way the handshake does
// ("U\r", ">", "<", "L"), over a raw port that is closed again afterwards.
bool EnterLoadingMode(const QString& portName);

// The simulator's sample firmware file in the source tree.
QString SampleFirmware();

// What the transfer reports when the line to COM3 goes down.
inline const QString LineLostOnCom3 =
    QStringLiteral("Die Verbindung zur Zuvex 910k über COM3 wurde unterbrochen. Bitte prüfen Sie "
                   "das Kabel und den USB-Adapter.");

// The simulator's pause after a load before it takes commands again.
constexpr int FirmwareRestartMs = 100;

// The transfer's pauses after a load: before the first record, after the last, and while
// the telephone system restarts.
inline const std::vector<int> LoadedPauses{200, 200, 3000};
