#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// The wire protocol of the Zuvex 910k, free of widgets and ports.
namespace LinkProtocol {

inline const QByteArray IdentifyCommand = QByteArrayLiteral("T\r");
inline const QByteArray VersionCommand = QByteArrayLiteral("V\r");
inline const QByteArray ReadCommand = QByteArrayLiteral("R0000,3c\r");
inline const QByteArray WriteCommand = QByteArrayLiteral("W0000,3c\r");
inline const QByteArray LoadCommand = QByteArrayLiteral("U\r"); // enter loading mode
inline const QByteArray LineEnd = QByteArrayLiteral("\r\n");
inline const QString DeviceName = QStringLiteral("Zuvex 910k");

constexpr std::uint8_t Enq = 0x05; // starts the PIN change
constexpr std::uint8_t Ack = 0x06;
constexpr std::uint8_t Nak = 0x15;
constexpr std::uint8_t LoadPrompt = 0x3E;         // ">": the device is ready to enter loading mode
constexpr std::uint8_t LoadConfirm = 0x3C;        // "<": our confirmation
constexpr std::uint8_t LoadReady = 0x4C;          // "L": loading mode entered
constexpr std::uint8_t RecordAcknowledged = 0x11; // a firmware record taken by the loader

constexpr int ImageBlockSize = 61; // 60 image bytes and their checksum

// After a good write the device restarts; it takes nothing in for this long.
constexpr int DeviceRestartMs = 2700;

// Collector time-outs in ticks of 55 ms.
constexpr int AckTicks = 6;
constexpr int LineTicks = 12;
constexpr int BlockTicks = 18;
constexpr int ChecksumAckTicks = 36;

// The printable text of a reply: every byte below 0x20 or above 0x7E dropped, wherever it is.
QString printableText(const std::uint8_t* data, int size);

// Sum modulo 256 of `size` bytes.
std::uint8_t byteSum(const std::uint8_t* data, int size);

} // namespace LinkProtocol
