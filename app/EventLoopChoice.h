#pragma once

#include <QByteArray>
#include <QtGlobal>

// Runs the program on Qt's own event loop instead of glib's. Each byte of a write to the
// device wakes the loop for a round trip of its own, and the glib loop spends noticeably
// more time per wake-up. Nothing in the program needs glib: its file and print dialogs are
// Qt's own. A QT_NO_GLIB that the user set (even empty, which asks for glib) is kept.
// Call before the application object is created.
inline void chooseEventLoop() {
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", QByteArrayLiteral("1"));
}
