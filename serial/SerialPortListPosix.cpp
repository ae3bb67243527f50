#include "serial/SerialPortList.h"

#include <cstring>
#include <libudev.h>
#include <memory>

namespace {

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T> using UdevPtr = std::unique_ptr<T, UdevDeleter>;

constexpr const char* ByIdDir = "/dev/serial/by-id/";

std::string byIdName(udev_device* dev) {
    udev_list_entry* link = nullptr;
    udev_list_entry_foreach(link, udev_device_get_devlinks_list_entry(dev)) {
        const char* path = udev_list_entry_get_name(link);
        if (std::strncmp(path, ByIdDir, std::strlen(ByIdDir)) == 0)
            return path + std::strlen(ByIdDir);
    }
    return {};
}

// The kernel lists every UART slot (ttyS0..ttyS31); a slot without hardware has type 0.
bool unknownUart(udev_device* dev) {
    const char* type = udev_device_get_sysattr_value(dev, "type");
    return type && std::strcmp(type, "0") == 0;
}

} // namespace

std::vector<TFoundPort> PlatformSerialPorts() {
    std::vector<TFoundPort> ports;
    UdevPtr<udev> context(udev_new());
    if (!context)
        return ports;
    UdevPtr<udev_enumerate> enumeration(udev_enumerate_new(context.get()));
    if (!enumeration)
        return ports;
    udev_enumerate_add_match_subsystem(enumeration.get(), "tty");
    udev_enumerate_scan_devices(enumeration.get());
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
        UdevPtr<udev_device> dev(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!dev)
            continue;
        const char* node = udev_device_get_devnode(dev.get());
        // Consoles, virtual terminals and pseudo-terminals have no hardware device above them.
        if (!node || !udev_device_get_parent(dev.get()))
            continue;
        TFoundPort port;
        port.device = node;
        port.kernelName = udev_device_get_sysname(dev.get());
        port.byIdName = byIdName(dev.get());
        const bool usb =
            udev_device_get_parent_with_subsystem_devtype(dev.get(), "usb", "usb_device");
        port.kind = usb ? TPortKind::Adapter : TPortKind::BuiltinUart;
        port.unknownUart = !usb && unknownUart(dev.get());
        ports.push_back(std::move(port));
    }
    return ports;
}
