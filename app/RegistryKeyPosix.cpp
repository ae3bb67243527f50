// Linux keeps the settings key in a ".reg" file under the XDG folders: the user's own, else the
// one an installed package puts into /etc/xdg.
#include "app/RegistryFile.h"
#include "serial/ConfigHome.h"

#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <unistd.h>

QString TRegistryFile::defaultPath() {
    return QString::fromStdString(configHomeDir()) + QStringLiteral("/registry.reg");
}

QString TRegistryFile::lookupPath() {
    const QString user = defaultPath();
    if (QFileInfo::exists(user))
        return user;
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    for (const QString& dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString system = dir + QStringLiteral("/zuvex910k/registry.reg");
        if (QFileInfo::exists(system))
            return system;
    }
    return user;
}

bool TRegistryFile::Writable() const {
    // the effective user decides, as for the write itself
    return !QFileInfo::exists(writePath) ||
           ::faccessat(AT_FDCWD, QFile::encodeName(writePath).constData(), W_OK, AT_EACCESS) == 0;
}

// The user's file when it exists, else the system-wide default; writes go to the user's file.
std::unique_ptr<TRegistryKey> ProgramRegistryKey() {
    return std::make_unique<TRegistryFile>(TRegistryFile::lookupPath(),
                                           TRegistryFile::defaultPath());
}
