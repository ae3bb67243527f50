#include "TestHome.h"

#include "RegistryExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestHome::TestHome(Ports ports)
    : previous(qgetenv("XDG_CONFIG_HOME")), previousDirs(qgetenv("XDG_CONFIG_DIRS")) {
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    qputenv("XDG_CONFIG_DIRS", path(QStringLiteral("xdg-system")).toUtf8());
    if (ports == PortsFolder)
        QDir().mkpath(portsDir());
}

TestHome::~TestHome() {
    qputenv("XDG_CONFIG_HOME", previous);
    qputenv("XDG_CONFIG_DIRS", previousDirs);
}

QString TestHome::root() const {
    return dir.path();
}
QString TestHome::configDir() const {
    return dir.path() + QStringLiteral("/zuvex910k");
}
QString TestHome::registryPath() const {
    return configDir() + QStringLiteral("/registry.reg");
}
QString TestHome::systemRegistryPath() const {
    return path(QStringLiteral("xdg-system/zuvex910k/registry.reg"));
}
QString TestHome::portsDir() const {
    return configDir() + QStringLiteral("/ports");
}
QString TestHome::path(const QString& name) const {
    return dir.path() + QLatin1Char('/') + name;
}

void TestHome::writeRegistry(const QString& valueLines, bool withKey) const {
    writeRegistryAt(registryPath(), valueLines, withKey);
}

void TestHome::writeRegistryAt(const QString& file, const QString& valueLines, bool withKey) const {
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
