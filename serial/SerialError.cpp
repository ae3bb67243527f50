#include "serial/SerialError.h"

#include <QDebug>
#include <cerrno>

ESerialError::ESerialError(const QString& text) : std::runtime_error(text.toStdString()) {}

namespace {

std::function<void(const QString&)>& sink() {
    static std::function<void(const QString&)> current;
    return current;
}

} // namespace

void SetSerialErrorSink(std::function<void(const QString&)> newSink) {
    sink() = std::move(newSink);
}

void ReportSerialError(const QString& text) {
    const std::function<void(const QString&)> target = sink(); // the sink may replace itself
    if (target)
        target(text);
    else
        qWarning().noquote() << text;
}

QString SystemErrorText(int error) {
    switch (error) {
    case EISDIR:
        return QStringLiteral("Der Name bezeichnet einen Ordner, kein Gerät.");
    case ELOOP:
        return QStringLiteral("Die Verknüpfung verweist im Kreis auf sich selbst.");
    case ENAMETOOLONG:
        return QStringLiteral("Der Name ist zu lang.");
    case ENOTTY:
    case EINVAL:
        return QStringLiteral("Das Gerät ist keine serielle Schnittstelle.");
    case EIO:
        return QStringLiteral("Beim Zugriff auf das Gerät ist ein Ein-/Ausgabefehler aufgetreten.");
    case EROFS:
        return QStringLiteral("Der Datenträger ist schreibgeschützt.");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Es sind zu viele Dateien geöffnet.");
    default:
        return QStringLiteral("Das System hat den Zugriff abgelehnt.");
    }
}
