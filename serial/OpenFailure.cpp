#include "serial/OpenFailure.h"

#include "serial/DeviceNames.h"
#include "serial/SerialError.h"
#include "serial/SystemErrorText.h"

#include <cerrno>

namespace {

// How the text names the port: a COM port, or a device given by its path alone.
struct TPortNames {
    QString subject; // "Der COM-Port COM3 (/dev/ttyUSB0)"
    QString object;  // "den COM-Port COM3 (/dev/ttyUSB0)"
};

TPortNames comPortNames(int comNumber, const std::string& device) {
    const QString shown = device.empty() ? QString() : ShownDeviceName(device);
    const QString port = shown.isEmpty() ? QStringLiteral("COM%1").arg(comNumber)
                                         : QStringLiteral("COM%1 (%2)").arg(comNumber).arg(shown);
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
            .arg(port.object, DeviceAccessGroup(device));
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
