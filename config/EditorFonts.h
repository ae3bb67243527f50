#pragma once

#include <QFont>

// The window's font: Arial with 13-pixel characters.
inline QFont windowFont(bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    font.setBold(bold);
    return font;
}

// Page headings: bold Arial, 16 pixels.
inline QFont headingFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    font.setBold(true);
    return font;
}
