#include "TestHome.h"

#include <QDir>
#include <QFile>

TestHome::TestHome() : previous(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    QDir().mkpath(portsDir());
}

TestHome::~TestHome() {
    qputenv("XDG_CONFIG_HOME", previous);
}

QString TestHome::configDir() const {
    return dir.path() + QStringLiteral("/zuvex910k");
}
QString TestHome::registryPath() const {
    return configDir() + QStringLiteral("/registry.reg");
}
QString TestHome::portsDir() const {
    return configDir() + QStringLiteral("/ports");
}
QString TestHome::path(const QString& name) const {
    return dir.path() + QLatin1Char('/') + name;
}

void TestHome::writeRegistry(const QString& valueLines, bool withKey) const {
    QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n");
    if (withKey)
        text += QStringLiteral("[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k]\r\n");
    text += valueLines;
    QFile f(registryPath());
    f.open(QIODevice::WriteOnly);
    f.write(text.toUtf8());
}

QString TestHome::readRegistry() const {
    QFile f(registryPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

void TestHome::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile f(path(name));
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
}
