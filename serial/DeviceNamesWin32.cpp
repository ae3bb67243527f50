#include "serial/DeviceNames.h"

QString ShownDeviceName(const std::string&) {
    return {};
}

// Windows refuses a port that another program holds with "access denied", which is told as
// "in use"; a missing permission has no group to name.
QString DeviceAccessGroup(const std::string&) {
    return {};
}
