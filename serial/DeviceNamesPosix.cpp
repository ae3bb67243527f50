#include "serial/DeviceNames.h"

#include <climits>
#include <cstdlib>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

// The device behind a ports-folder link, as the user knows it ("/dev/ttyUSB0"), also when
// the link points to a device that is gone.
QString ShownDeviceName(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved))
        return QString::fromLocal8Bit(resolved);
    const ssize_t length = readlink(path.c_str(), resolved, sizeof resolved - 1);
    if (length > 0)
        return QString::fromLocal8Bit(resolved, length);
    return QString::fromLocal8Bit(path.c_str());
}

// "dialout" (Debian's) when it cannot be told.
QString DeviceAccessGroup(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || st.st_gid == 0)
        return QStringLiteral("dialout");
    const group* owner = getgrgid(st.st_gid);
    return owner ? QString::fromLocal8Bit(owner->gr_name) : QStringLiteral("dialout");
}
