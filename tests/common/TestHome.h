#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A fresh, empty settings home for one test: XDG_CONFIG_HOME points into a temporary
// folder, and the COM port folder exists empty (so no COM port exists unless a test adds one).
// XDG_CONFIG_DIRS points at an empty folder of system-wide defaults.
class TestHome {
public:
    enum Ports { PortsFolder, NoPortsFolder }; // NoPortsFolder: COM ports numbered automatically
    explicit TestHome(Ports ports = PortsFolder);
    ~TestHome();
    QString root() const { return dir.path(); }
    QString configDir() const { return root() + QStringLiteral("/zuvex910k"); }
    QString registryPath() const { return configDir() + QStringLiteral("/registry.reg"); }
    QString portsDir() const { return configDir() + QStringLiteral("/ports"); }
    // The file of system-wide defaults.
    QString systemRegistryPath() const {
        return path(QStringLiteral("xdg-system/zuvex910k/registry.reg"));
    }
    // A scratch file in the temporary folder.
    QString path(const QString& name) const { return root() + QLatin1Char('/') + name; }
    // Writes the settings store (the user's, unless `file` names another) with the program's key
    // holding the given value lines.
    void writeRegistry(const QString& valueLines, bool withKey = true, QString file = {}) const;
    QString readRegistry() const;
    // Writes a scratch file; returns its path, or an empty string when it could not be written.
    QString writeFile(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir dir;
    QByteArray previous;
    QByteArray previousDirs;
};

// The bytes of a file; empty when it cannot be read.
QByteArray fileBytes(const QString& path);
