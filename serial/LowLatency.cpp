#include "serial/LowLatency.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

std::optional<int> RequestLowLatency(int fd) {
    serial_struct settings{};
    if (ioctl(fd, TIOCGSERIAL, &settings) != 0 || (settings.flags & ASYNC_LOW_LATENCY))
        return std::nullopt;
    const int previous = settings.flags;
    settings.flags |= ASYNC_LOW_LATENCY;
    if (ioctl(fd, TIOCSSERIAL, &settings) != 0)
        return std::nullopt;
    return previous;
}

void RestoreSerialFlags(int fd, std::optional<int> previousFlags) {
    serial_struct settings{};
    if (!previousFlags || ioctl(fd, TIOCGSERIAL, &settings) != 0)
        return;
    settings.flags = *previousFlags;
    ioctl(fd, TIOCSSERIAL, &settings); // a device that has gone keeps nothing to restore
}
