#include "serial/PinnedComPorts.h"

#include "serial/ConfigHome.h"

#include <sys/stat.h>

namespace {

bool portsDirExists(const std::string& dir) {
    struct stat st {};
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

bool ComNumbersPinned() {
    return portsDirExists(comPortsDir());
}

std::optional<TComDevice> PinnedComDevice(int comNumber) {
    const std::string dir = comPortsDir();
    if (!portsDirExists(dir))
        return std::nullopt;
    TComDevice device;
    const std::string entry = dir + "/COM" + std::to_string(comNumber);
    struct stat est {};
    // lstat: a dangling link is still an entry; opening it then reports "does not exist"
    if (lstat(entry.c_str(), &est) != 0)
        return device;
    device.path = entry;
    device.mapped = true;
    return device;
}
