#include "serial/PinnedComPorts.h"
#include "serial/SoleComPortWin32.h"

#include <mutex>

// Windows numbers its ports itself. Whether COMn exists is told by opening \\.\COMn (missing:
// ERROR_FILE_NOT_FOUND): the lists Windows keeps (QueryDosDevice, the registry's
// SERIALCOMM) miss ports that appear without a driver, such as Wine's dosdevices links.
namespace {
struct TSolePort {
    std::mutex mutex;
    int comNumber = 0; // 0: every number is Windows' own
    std::string device;
};

TSolePort& solePort() {
    static TSolePort port;
    return port;
}
} // namespace

void PinSoleComPort(int comNumber, const std::string& device) {
    std::lock_guard lock(solePort().mutex);
    solePort().comNumber = comNumber;
    solePort().device = device;
}

void ReleaseSoleComPort() {
    PinSoleComPort(0, {});
}

bool ComNumbersPinned() {
    return true;
}

std::optional<TComDevice> PinnedComDevice(int comNumber) {
    std::lock_guard lock(solePort().mutex);
    if (solePort().comNumber != 0)
        return comNumber == solePort().comNumber ? TComDevice{true, solePort().device}
                                                 : TComDevice{};
    return TComDevice{true, "\\\\.\\COM" + std::to_string(comNumber)};
}
