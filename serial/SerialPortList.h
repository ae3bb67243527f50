#pragma once

#include "serial/ComPortMap.h"

#include <vector>

// The serial ports the machine has, as udev sees them: every tty with a hardware device
// behind it. Nothing is opened.
std::vector<TFoundPort> PlatformSerialPorts();
