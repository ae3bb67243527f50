#pragma once

#include "serial/ComPortMap.h"

#include <optional>

// COM numbers that name their device themselves: the entries of the ports folder on Linux,
// Windows' own COMn. Nothing while the numbers are given automatically (Linux without the
// folder).
bool ComNumbersPinned();
std::optional<TComDevice> PinnedComDevice(int comNumber);
