#pragma once

#include <array>
#include <cstdint>

// The telephone system's whole user configuration: one 60-byte memory block.
constexpr int ConfigImageSize = 60;
using ConfigImage = std::array<std::uint8_t, ConfigImageSize>;

// Byte offsets inside the image.
namespace ImageOffset {
constexpr int Typ = 0;      // 0..3: device type of ports 1..4
constexpr int Berecht = 4;  // 4..7: permission bits of ports 1..4
constexpr int TasteRuf = 8; // 8..11: ports ringing for bell buttons 1..4
constexpr int Heranholen = 16;
constexpr int Amtsholung = 17;
constexpr int Anklopfschutz = 18;
constexpr int Wartemusik = 19;
} // namespace ImageOffset

// Device types stored in a Typ byte.
enum DeviceType : std::uint8_t { TypTelefon = 0, TypAnrufbeantworter = 1, TypTfe = 2 };

// Bits of a Berecht byte.
namespace BerechtBit {
constexpr std::uint8_t vab = 0x01; // amtsberechtigt
constexpr std::uint8_t hab = 0x02; // halbamtsberechtigt
constexpr std::uint8_t nab = 0x04; // nichtamtsberechtigt
constexpr std::uint8_t tb = 0x08;  // türberechtigt
constexpr std::uint8_t arb = 0x10; // external calls ring at this port
} // namespace BerechtBit

// Sum of the 60 bytes modulo 256, sent after the image when writing.
inline std::uint8_t imageChecksum(const ConfigImage& image) {
    unsigned sum = 0;
    for (std::uint8_t b : image)
        sum += b;
    return static_cast<std::uint8_t>(sum & 0xFF);
}
