#include "TestHome.h"

#include "RegistryExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestHome::TestHome(Ports ports)
    : previous(qgetenv("XDG_CONFIG_HOME")), previousDirs(qgetenv("XDG_CONFIG_DIRS")),
      previousState(qgetenv("XDG_STATE_HOME")) {
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    qputenv("XDG_CONFIG_DIRS", path(QStringLiteral("xdg-system")).toUtf8());
    qputenv("XDG_STATE_HOME", path(QStringLiteral("state")).toUtf8());
    if (ports == PortsFolder)
        QDir().mkpath(portsDir());
}

TestHome::~TestHome() {
    qputenv("XDG_CONFIG_HOME", previous);
    qputenv("XDG_CONFIG_DIRS", previousDirs);
    qputenv("XDG_STATE_HOME", previousState);
}

void TestHome::writeRegistry(const QString& valueLines, bool withKey, QString file) const {
    if (file.isEmpty())
        file = registryPath();
    QDir().mkpath(QFileInfo(file).absolutePath());
    const QByteArray header = QByteArrayLiteral("Windows Registry Editor Version 5.00\r\n\r\n");
    QFile f(file);
    f.open(QIODevice::WriteOnly);
    f.write(withKey ? registryExport(TRegistryExport::Utf8, valueLines)
                    : header + valueLines.toUtf8());
}

QString TestHome::readRegistry() const {
    return QString::fromUtf8(fileBytes(registryPath()));
}

QString TestHome::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile f(path(name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return f.fileName();
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
