#pragma once

#include <optional>

// Many USB serial adapters hold received bytes for up to 16 ms before they pass them on (the
// adapter's latency timer). The device acknowledges every byte of a write, so that wait would
// come once per byte. While a port is open its driver is asked to pass bytes on at once, as
// serial tools on Linux do.

// Asks the driver of `fd` for low latency. Returns the driver's flags from before when it
// changed them, for RestoreSerialFlags on closing; nothing when low latency was on already,
// or when the driver has no such flags or refuses the request (pseudo-terminals do), in which
// case nothing has changed.
std::optional<int> RequestLowLatency(int fd);

// Puts back the driver's flags that RequestLowLatency returned; nothing to do for none.
void RestoreSerialFlags(int fd, std::optional<int> previousFlags);
