#pragma once

#include "config/ConfigImage.h"

#include <array>
#include <cstdint>

// The three-way external permission of a port (bits 0-2 of its Berecht byte).
enum class Permission { Amtsberechtigt, Halbamtsberechtigt, Nichtamtsberechtigt };

// What the editor shows for one internal port.
struct TPortSettings {
    DeviceType type = TypTelefon;
    Permission permission = Permission::Amtsberechtigt;
    bool tuerberechtigt = false;        // tb
    bool externanruf = false;           // arb: external calls ring here
    std::array<bool, 4> klingeltaste{}; // [k]: bell button k+1 rings here
    bool operator==(const TPortSettings&) const = default;
};

// The editor-owned part of the configuration, free of widgets.
struct TEditorSettings {
    bool amtsholung = false; // true: "automatisch"
    bool heranholen = false;
    bool anklopfschutz = false;
    bool wartemusik = false;
    std::array<TPortSettings, 4> ports{};
    bool operator==(const TEditorSettings&) const = default;
};

// Reads the editor-owned bytes. Accepts any 60 bytes: unknown Typ values count as
// Telefon, bit 2 of Berecht wins over bit 1, and ignored bits are ignored.
TEditorSettings decodeImage(const ConfigImage& image);

// Rebuilds bytes 0-11 and 16-19 from the settings, leaves the reserved bytes as they
// are and returns the checksum of the whole image.
std::uint8_t encodeImage(const TEditorSettings& settings, ConfigImage& image);

// The telephone system's factory settings as the editor shows them.
TEditorSettings factorySettings();
