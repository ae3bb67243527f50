#pragma once

#include <QProcess>
#include <QStringList>
#include <QTest>

// Real input through the X server, as from the user's mouse and keyboard (xdotool's names:
// "key Tab", "key shift+Tab", "mousemove 10 20 click 1").
inline void xdotool(const QStringList& args) {
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), args), 0);
}

inline void pressKey(const QString& key) {
    xdotool({QStringLiteral("key"), key});
}
