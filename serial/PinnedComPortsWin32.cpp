#include "serial/PinnedComPorts.h"

// Windows numbers its ports itself. Whether COMn exists is told by opening \\.\COMn (missing:
// ERROR_FILE_NOT_FOUND): the lists Windows keeps (QueryDosDevice, the registry's
// SERIALCOMM) miss ports that appear without a driver, such as Wine's dosdevices links.
bool ComNumbersPinned() {
    return true;
}

std::optional<TComDevice> PinnedComDevice(int comNumber) {
    return TComDevice{true, "\\\\.\\COM" + std::to_string(comNumber)};
}
