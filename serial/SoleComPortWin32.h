#pragma once

#include <string>

// One port alone for the whole process (the command-line tool's --port and --device): COMn is
// `device` and every other number has none, so a device search asks that port only. Windows'
// counterpart of a ports folder with a single entry.
void PinSoleComPort(int comNumber, const std::string& device);
void ReleaseSoleComPort();
