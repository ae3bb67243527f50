#include "config/ConfigCodec.h"

TEditorSettings decodeImage(const ConfigImage& image) {
    TEditorSettings s;
    s.amtsholung = image[ImageOffset::Amtsholung] != 0;
    s.heranholen = image[ImageOffset::Heranholen] != 0;
    s.anklopfschutz = image[ImageOffset::Anklopfschutz] != 0;
    s.wartemusik = image[ImageOffset::Wartemusik] != 0;
    for (int p = 0; p < 4; ++p) {
        TPortSettings& port = s.ports[p];
        const std::uint8_t typ = image[ImageOffset::Typ + p];
        port.type = typ == TypAnrufbeantworter ? TypAnrufbeantworter
                    : typ == TypTfe            ? TypTfe
                                               : TypTelefon;
        const std::uint8_t berecht = image[ImageOffset::Berecht + p];
        // Bit 0 is not consulted: a byte without bits 1 and 2 means amtsberechtigt.
        port.permission = (berecht & BerechtBit::nab)   ? Permission::Nichtamtsberechtigt
                          : (berecht & BerechtBit::hab) ? Permission::Halbamtsberechtigt
                                                        : Permission::Amtsberechtigt;
        port.tuerberechtigt = (berecht & BerechtBit::tb) != 0;
        port.externanruf = (berecht & BerechtBit::arb) != 0;
        for (int k = 0; k < 4; ++k)
            port.klingeltaste[k] = (image[ImageOffset::TasteRuf + k] & (1u << p)) != 0;
    }
    return s;
}

std::uint8_t encodeImage(const TEditorSettings& s, ConfigImage& image) {
    for (int i = ImageOffset::Berecht; i < ImageOffset::TasteRuf + 4; ++i)
        image[i] = 0;
    image[ImageOffset::Amtsholung] = s.amtsholung ? 1 : 0;
    image[ImageOffset::Heranholen] = s.heranholen ? 1 : 0;
    image[ImageOffset::Anklopfschutz] = s.anklopfschutz ? 1 : 0;
    image[ImageOffset::Wartemusik] = s.wartemusik ? 1 : 0;
    for (int p = 0; p < 4; ++p) {
        const TPortSettings& port = s.ports[p];
        image[ImageOffset::Typ + p] = port.type;
        std::uint8_t& berecht = image[ImageOffset::Berecht + p];
        if (port.externanruf)
            berecht |= BerechtBit::arb;
        for (int k = 0; k < 4; ++k)
            if (port.klingeltaste[k])
                image[ImageOffset::TasteRuf + k] |= static_cast<std::uint8_t>(1u << p);
        switch (port.permission) {
        case Permission::Nichtamtsberechtigt:
            berecht |= BerechtBit::nab;
            break;
        case Permission::Halbamtsberechtigt:
            berecht |= BerechtBit::hab;
            break;
        case Permission::Amtsberechtigt:
            berecht |= BerechtBit::vab;
            break;
        }
        if (port.tuerberechtigt)
            berecht |= BerechtBit::tb;
    }
    return imageChecksum(image);
}

TEditorSettings factorySettings() {
    TEditorSettings s;
    s.amtsholung = true;
    s.heranholen = true;
    s.anklopfschutz = false;
    s.wartemusik = true;
    for (TPortSettings& port : s.ports) {
        port.type = TypTelefon;
        port.permission = Permission::Amtsberechtigt;
        port.tuerberechtigt = true;
        port.externanruf = true;
        port.klingeltaste = {true, true, true, true};
    }
    return s;
}
