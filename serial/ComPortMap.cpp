#include "serial/ComPortMap.h"

#include "serial/ConfigHome.h"

#include <sys/stat.h>

TComDevice ComDeviceOf(int comNumber) {
    TComDevice device;
    if (comNumber < 1)
        return device;
    const std::string dir = comPortsDir();
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        const std::string entry = dir + "/COM" + std::to_string(comNumber);
        struct stat est {};
        // lstat: a dangling link is still an entry; opening it then reports "does not exist"
        if (lstat(entry.c_str(), &est) != 0)
            return device;
        device.path = entry;
    } else {
        device.path = "/dev/ttyS" + std::to_string(comNumber - 1);
    }
    device.mapped = true;
    return device;
}
