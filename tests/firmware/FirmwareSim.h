#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

// Puts the telephone system on `portName` into loading mode the way the handshake does
// ("U\r", ">", "<", "L"), over a raw port that is closed again afterwards.
bool EnterLoadingMode(const QString& portName);

// The hex text of a firmware file holding `bytes`, 16 values a line.
QByteArray FirmwareText(const std::vector<std::uint8_t>& bytes);

// `count` records of `payload` bytes each; record i carries the byte i + 1.
std::vector<std::uint8_t> FirmwareRecords(std::size_t count, std::size_t payload);

// The simulator's sample firmware file in the source tree.
QString SampleFirmware();

// The simulator's pause after a load before it takes commands again.
constexpr int FirmwareRestartMs = 100;

// The transfer's pauses after a load: before the first record, after the last, and while
// the telephone system restarts.
inline const std::vector<int> LoadedPauses{200, 200, 3000};

std::string AsString(const std::vector<std::uint8_t>& bytes);
