// Linux pins the port with a temporary settings home whose ports folder has that port as its
// only entry.
#include "cli/PinnedPort.h"

#include "cli/Console.h"
#include "cli/PortPinning.h"
#include "serial/ComPortMap.h"
#include "serial/PosixSerialDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

struct TPinnedPort::THold {
    QTemporaryDir home;
    QByteArray previousHome = qgetenv("XDG_CONFIG_HOME");
    bool hadHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    ~THold() {
        if (hadHome)
            qputenv("XDG_CONFIG_HOME", previousHome);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
};

TPinnedPort::TPinnedPort(int comNumber, const QString& device) {
    const std::optional<QString> path = DeviceToPin(comNumber, device);
    if (!path)
        return;
    // opened and closed again as the conversation will open it
    const TOpenResult opened = OpenSerialDevice(QFile::encodeName(*path).toStdString(), {});
    if (opened.fd < 0) {
        ReportOpeningRefusal(comNumber, device, *path, opened.failure, opened.error);
        return;
    }
    CloseSerialDevice(opened.fd, opened.restore);
    const int number = device.isEmpty() ? comNumber : 1;
    auto hold = std::make_unique<THold>();
    const QString ports = hold->home.path() + QStringLiteral("/zuvex910k/ports");
    if (!QDir().mkpath(ports) || !QFile::link(QFileInfo(*path).absoluteFilePath(),
                                              ports + QStringLiteral("/COM%1").arg(number))) {
        PrintMessage(QStringLiteral("Der Port %1 kann nicht verwendet werden.").arg(*path));
        return;
    }
    qputenv("XDG_CONFIG_HOME", hold->home.path().toLocal8Bit());
    hold_ = std::move(hold);
    RefreshComPortMap();
    comNumber_ = number;
}

TPinnedPort::~TPinnedPort() = default;

const char* const DeviceExample = "/dev/ttyUSB0";
