#pragma once

#include <QString>
#include <string>

// How the texts about a port name its device. On Linux the device behind a ports-folder link
// ("/dev/ttyUSB0"); on Windows nothing, since the COM number is the device's own name there.
QString ShownDeviceName(const std::string& path);

// The group whose members may open the device, for the text of a missing permission.
QString DeviceAccessGroup(const std::string& path);
