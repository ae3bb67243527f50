#pragma once

#include "config/ConfigCodec.h"
#include "config/ConfigImage.h"

#include <cstdint>

// A configuration as the window's editor holds it. The tool builds the window's editor
// pages (offscreen) for it, so the editor's rules apply exactly as in the window.
struct TEditorView {
    TEditorSettings settings; // what the editor shows
    ConfigImage image{};      // what it would save or send: editor-owned bytes rebuilt
    std::uint8_t checksum = 0;
    bool anyExternalRing = false; // some port rings for external calls
};

// As "Öffnen..." shows `image` from a file and "Konfiguration speichern" would send it.
TEditorView OpenedInEditor(const ConfigImage& image);

// The factory settings as "Werkseinstellungen" sends them; the reserved bytes are kept.
TEditorView FactoryInEditor(const ConfigImage& reserved);
