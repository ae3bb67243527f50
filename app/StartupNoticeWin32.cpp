// On Windows a start-up failure is told in a message box of the system's own, which needs no Qt
// platform plugin, and logged under %LOCALAPPDATA%\zuvex910k.
#include "app/StartupNotice.h"

#include <QDir>
#include <QtGlobal>
#include <windows.h>

namespace startup {

// Windows has a display whenever a user is logged on: what fails is the program's own Qt part.
QString reasonText(const QStringList&) {
    return QStringLiteral("Die grafische Oberfläche konnte nicht geöffnet werden. Bitte prüfen "
                          "Sie, ob der Ordner „platforms“ mit qwindows.dll neben dem Programm "
                          "liegt, oder installieren Sie den Konfigurator neu.");
}

QString logPath() {
    QString local = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA"));
    if (local.isEmpty())
        local = QDir::homePath() + QStringLiteral("/AppData/Local");
    return local + QStringLiteral("/zuvex910k/start-errors.log");
}

void notifyUser(const QString& summary, const QString& body) {
    ::MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(body.utf16()),
                  reinterpret_cast<const wchar_t*>(summary.utf16()),
                  MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TASKMODAL);
}

} // namespace startup
