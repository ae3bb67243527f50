#include "cli/PinnedPort.h"

#include "cli/Console.h"
#include "serial/ComPortMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
