#include "serial/OpenFailure.h"
#include "serial/SerialError.h"
#include "serial/SystemErrorText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The device behind a ports-folder link, as the user knows it ("/dev/ttyUSB0"), also when
// the link points to a device that is gone.
QString shownDevice(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved))
        return QString::fromLocal8Bit(resolved);
    const ssize_t length = readlink(path.c_str(), resolved, sizeof resolved - 1);
    if (length > 0)
        return QString::fromLocal8Bit(resolved, length);
    return QString::fromLocal8Bit(path.c_str());
}

// The group that may open the device; "dialout" (Debian's) when it cannot be told.
QString deviceGroup(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || st.st_gid == 0)
        return QStringLiteral("dialout");
    const group* owner = getgrgid(st.st_gid);
    return owner ? QString::fromLocal8Bit(owner->gr_name) : QStringLiteral("dialout");
}

// How the text names the port: a COM port, or a device given by its path alone.
struct TPortNames {
    QString subject; // "Der COM-Port COM3 (/dev/ttyUSB0)"
    QString object;  // "den COM-Port COM3 (/dev/ttyUSB0)"
};

TPortNames comPortNames(int comNumber, const std::string& device) {
    const QString port = device.empty()
                             ? QStringLiteral("COM%1").arg(comNumber)
                             : QStringLiteral("COM%1 (%2)").arg(comNumber).arg(shownDevice(device));
    return {QStringLiteral("Der COM-Port ") + port, QStringLiteral("den COM-Port ") + port};
}

QString failureText(const TPortNames& port, const std::string& device, TOpenFailure failure,
                    int error) {
    switch (failure) {
    case TOpenFailure::NotFound:
        return QStringLiteral("%1 ist nicht vorhanden.").arg(port.subject);
    case TOpenFailure::NoPermission:
        return QStringLiteral("Keine Berechtigung für %1. Nehmen Sie Ihren Benutzer "
                              "in die Gruppe „%2“ auf und melden Sie sich danach neu an.")
            .arg(port.object, deviceGroup(device));
    case TOpenFailure::InUse:
        return QStringLiteral("%1 wird bereits von einem anderen Programm verwendet.")
            .arg(port.subject);
    case TOpenFailure::Settings:
        return QStringLiteral("%1 lässt sich nicht einstellen.").arg(port.subject);
    default:
        return QStringLiteral("%1 kann nicht geöffnet werden. %2")
            .arg(port.subject, SystemErrorText(error));
    }
}

} // namespace

TOpenFailure OpenFailureOf(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return TOpenFailure::NotFound;
    case EACCES:
    case EPERM:
        return TOpenFailure::NoPermission;
    case EBUSY:
    case EWOULDBLOCK:
        return TOpenFailure::InUse;
    default:
        return TOpenFailure::Other;
    }
}

EPortOpenError::EPortOpenError(int comNumber, const std::string& device, TOpenFailure failure,
                               int error)
    : ESerialError(failureText(comPortNames(comNumber, device), device, failure, error)),
      failure_(failure) {}

EPortOpenError::EPortOpenError(const std::string& device, TOpenFailure failure, int error)
    : ESerialError(
          failureText({QStringLiteral("Das Gerät ") + QString::fromLocal8Bit(device.c_str()),
                       QStringLiteral("das Gerät ") + QString::fromLocal8Bit(device.c_str())},
                      device, failure, error)),
      failure_(failure) {}
