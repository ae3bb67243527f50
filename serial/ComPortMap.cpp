#include "serial/ComPortMap.h"

#include "serial/PinnedComPorts.h"
#include "serial/SerialPortList.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <tuple>

namespace {

std::function<std::vector<TFoundPort>()>& lister() {
    static std::function<std::vector<TFoundPort>()> current;
    return current;
}

// The automatic map as last read. Look-ups come from the user-interface thread; the lock
// keeps one from another thread (a benchmark's, a test's) safe.
struct KeptMap {
    std::mutex mutex;
    bool read = false;
    std::vector<std::string> devices;
};
KeptMap& keptMap() {
    static KeptMap map;
    return map;
}

// "ttyUSB10" -> ("ttyUSB", 10), so that ttyUSB2 sorts before ttyUSB10.
std::tuple<std::string, long, std::string> naturalKey(const std::string& name) {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9')
        --digits;
    if (digits == name.size())
        return {name, -1, name};
    return {name.substr(0, digits), std::strtol(name.c_str() + digits, nullptr, 10), name};
}

// Adapters with a by-id name first, in that name's order, then the others by kernel name.
bool adapterBefore(const TFoundPort& a, const TFoundPort& b) {
    if (a.byIdName.empty() != b.byIdName.empty())
        return !a.byIdName.empty();
    if (!a.byIdName.empty() && a.byIdName != b.byIdName)
        return a.byIdName < b.byIdName;
    return naturalKey(a.kernelName) < naturalKey(b.kernelName);
}

} // namespace

std::vector<std::string> AutomaticComPorts(std::vector<TFoundPort> found) {
    std::erase_if(found, [](const TFoundPort& port) { return port.unknownUart; });
    const auto adapters = std::stable_partition(found.begin(), found.end(), [](const auto& port) {
        return port.kind == TPortKind::BuiltinUart;
    });
    std::sort(found.begin(), adapters, [](const TFoundPort& a, const TFoundPort& b) {
        return naturalKey(a.kernelName) < naturalKey(b.kernelName);
    });
    std::sort(adapters, found.end(), adapterBefore);
    std::vector<std::string> devices;
    for (const TFoundPort& port : found) {
        if (devices.size() == std::size_t(MaxComNumber))
            break;
        devices.push_back(port.device);
    }
    return devices;
}

std::vector<TFoundPort> ListSerialPorts() {
    return lister() ? lister()() : PlatformSerialPorts();
}

void SetSerialPortLister(std::function<std::vector<TFoundPort>()> newLister) {
    lister() = std::move(newLister);
    std::lock_guard lock(keptMap().mutex);
    keptMap().read = false;
}

void RefreshComPortMap() {
    if (ComNumbersPinned())
        return; // pinned numbers are looked up at each use
    std::vector<std::string> devices = AutomaticComPorts(ListSerialPorts());
    std::lock_guard lock(keptMap().mutex);
    keptMap().devices = std::move(devices);
    keptMap().read = true;
}

TComDevice ComDeviceOf(int comNumber, TMapRead read) {
    if (comNumber < 1)
        return {};
    if (const std::optional<TComDevice> pinned = PinnedComDevice(comNumber))
        return *pinned;
    bool kept = false;
    {
        std::lock_guard lock(keptMap().mutex);
        kept = keptMap().read;
    }
    if (read == TMapRead::Fresh || !kept)
        RefreshComPortMap();
    std::lock_guard lock(keptMap().mutex);
    const std::vector<std::string>& devices = keptMap().devices;
    if (comNumber > int(devices.size()))
        return {};
    return {true, devices[std::size_t(comNumber - 1)]};
}
