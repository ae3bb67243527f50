#include "serial/SystemErrorText.h"

#include <cerrno>

namespace {

struct TErrorWording {
    int error;
    const char* text; // UTF-8
};

constexpr char DiskFullText[] = "Auf dem Datenträger ist kein Platz mehr frei.";
constexpr char NoPermissionText[] = "Die Berechtigung fehlt.";
constexpr char NotASerialPortText[] = "Das Gerät ist keine serielle Schnittstelle.";
constexpr char TooManyFilesText[] = "Es sind zu viele Dateien geöffnet.";

constexpr TErrorWording ErrorWordings[] = {
    {ENOSPC, DiskFullText},
#ifdef EDQUOT // a user's quota; Windows has no such error number
    {EDQUOT, DiskFullText},
#endif
    {ENOENT, "Der Ordner ist nicht vorhanden."},
    {ENOTDIR, "Ein Teil des Pfades ist kein Ordner."},
    {EACCES, NoPermissionText},
    {EPERM, NoPermissionText},
    {EISDIR, "Der Name bezeichnet einen Ordner, kein Gerät."},
    {EBADF, "Die Ausgabe ist geschlossen."},
    {ELOOP, "Die Verknüpfung verweist im Kreis auf sich selbst."},
    {ENAMETOOLONG, "Der Name ist zu lang."},
    {ENOTTY, NotASerialPortText},
    {EINVAL, NotASerialPortText},
    {EIO, "Beim Zugriff auf das Gerät ist ein Ein-/Ausgabefehler aufgetreten."},
    {EROFS, "Der Datenträger ist schreibgeschützt."},
    {EMFILE, TooManyFilesText},
    {ENFILE, TooManyFilesText},
};

} // namespace

QString SystemErrorText(int error) {
    for (const TErrorWording& wording : ErrorWordings)
        if (wording.error == error)
            return QString::fromUtf8(wording.text);
    return QStringLiteral("Das System hat den Zugriff abgelehnt.");
}

QString FileErrorText(int error) {
    return error == EISDIR ? QStringLiteral("Der Name bezeichnet einen Ordner.")
                           : SystemErrorText(error);
}
