#include "cli/FileErrorText.h"

#include "serial/SerialError.h"

#include <cerrno>

QString FileErrorText(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("Auf dem Datenträger ist kein Platz mehr frei.");
    case ENOENT:
        return QStringLiteral("Der Ordner ist nicht vorhanden.");
    case ENOTDIR:
        return QStringLiteral("Ein Teil des Pfades ist kein Ordner.");
    case EACCES:
    case EPERM:
        return QStringLiteral("Die Berechtigung fehlt.");
    case EISDIR:
        return QStringLiteral("Der Name bezeichnet einen Ordner.");
    case EBADF:
        return QStringLiteral("Die Ausgabe ist geschlossen.");
    default:
        return SystemErrorText(error);
    }
}
