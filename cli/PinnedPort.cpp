#include "cli/PinnedPort.h"

#include "cli/Console.h"
#include "serial/ComPortMap.h"
#include "serial/OpenFailure.h"
#include "serial/PosixSerialDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>

namespace {
// The device opened and closed again as the conversation will open it. A refusal names the
// device and the cause here; the search would only tell that no telephone system answered.
std::optional<QString> openingRefusal(int comNumber, const QString& device, const QString& path) {
    const TOpenResult opened = OpenSerialDevice(QFile::encodeName(path).toStdString(), {});
    if (opened.fd >= 0) {
        CloseSerialDevice(opened.fd, opened.restore);
        return std::nullopt;
    }
    const std::string name = QFile::encodeName(device.isEmpty() ? path : device).toStdString();
    return device.isEmpty()
               ? EPortOpenError(comNumber, name, opened.failure, opened.error).message()
               : EPortOpenError(name, opened.failure, opened.error).message();
}
} // namespace

TPinnedPort::TPinnedPort(int comNumber, const QString& device)
    : previousHome_(qgetenv("XDG_CONFIG_HOME")),
      hadHome_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
    QString path = device;
    int number = device.isEmpty() ? comNumber : 1;
    if (path.isEmpty()) {
        const TComDevice mapped = ComDeviceOf(comNumber, TMapRead::Fresh);
        if (!mapped.mapped) {
            PrintMessage(QStringLiteral("Der COM-Port COM%1 ist nicht vorhanden.").arg(comNumber));
            return;
        }
        path = QString::fromStdString(mapped.path);
    }
    if (const std::optional<QString> refusal = openingRefusal(comNumber, device, path)) {
        PrintMessage(*refusal);
        return;
    }
    const QString ports = home_.path() + QStringLiteral("/zuvex910k/ports");
    if (!QDir().mkpath(ports) || !QFile::link(QFileInfo(path).absoluteFilePath(),
                                              ports + QStringLiteral("/COM%1").arg(number))) {
        PrintMessage(QStringLiteral("Der Port %1 kann nicht verwendet werden.").arg(path));
        return;
    }
    qputenv("XDG_CONFIG_HOME", home_.path().toLocal8Bit());
    RefreshComPortMap();
    comNumber_ = number;
}

TPinnedPort::~TPinnedPort() {
    if (hadHome_)
        qputenv("XDG_CONFIG_HOME", previousHome_);
    else
        qunsetenv("XDG_CONFIG_HOME");
}
