#include "cli/PortPinning.h"

#include "cli/Console.h"
#include "serial/ComPortMap.h"

#include <QFile>

std::optional<QString> DeviceToPin(int comNumber, const QString& device) {
    if (!device.isEmpty())
        return device;
    const TComDevice mapped = ComDeviceOf(comNumber, TMapRead::Fresh);
    if (!mapped.mapped) {
        PrintMessage(QStringLiteral("Der COM-Port COM%1 ist nicht vorhanden.").arg(comNumber));
        return std::nullopt;
    }
    return QString::fromStdString(mapped.path);
}

// The search would only tell that no telephone system answered; this names the device and
// the cause.
void ReportOpeningRefusal(int comNumber, const QString& device, const QString& path,
                          TOpenFailure failure, int error) {
    const std::string name = QFile::encodeName(device.isEmpty() ? path : device).toStdString();
    PrintMessage(device.isEmpty() ? EPortOpenError(comNumber, name, failure, error).message()
                                  : EPortOpenError(name, failure, error).message());
}
