#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A fresh settings home in a temporary folder (XDG_CONFIG_HOME, and XDG_CONFIG_DIRS for the
// system default, XDG_STATE_HOME for the error log); its empty ports folder means no COM port
// exists unless a test adds one.
class TestHome {
public:
    enum Ports { PortsFolder, NoPortsFolder }; // NoPortsFolder: COM ports numbered automatically
    explicit TestHome(Ports ports = PortsFolder);
    ~TestHome();
    QString root() const { return dir.path(); }
    QString configDir() const { return root() + QStringLiteral("/zuvex910k"); }
    QString registryPath() const { return configDir() + QStringLiteral("/registry.reg"); }
    QString portsDir() const { return configDir() + QStringLiteral("/ports"); }
    QString systemRegistryPath() const {
        return path(QStringLiteral("xdg-system/zuvex910k/registry.reg"));
    }
    // Where failures go that no box can show.
    QString errorLogPath() const {
        return path(QStringLiteral("state/zuvex910k/start-errors.log"));
    }
    // A scratch file in the temporary folder.
    QString path(const QString& name) const { return root() + QLatin1Char('/') + name; }
    // Writes the user's settings file, or `file`: the program's key (if `withKey`) with the values.
    void writeRegistry(const QString& valueLines, bool withKey = true, QString file = {}) const;
    QString readRegistry() const;
    // Writes a scratch file; returns its path, or an empty string when it could not be written.
    QString writeFile(const QString& name, const QByteArray& bytes) const;

private:
    QTemporaryDir dir;
    QByteArray previous;
    QByteArray previousDirs;
    QByteArray previousState;
};

// The bytes of a file; empty when it cannot be read.
QByteArray fileBytes(const QString& path);
