#include "serial/ConfigHome.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

std::string configHomeDir() {
    // a relative path is invalid there and ignored, not taken from the working folder
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        return std::string(xdg) + "/zuvex910k";
    const char* home = std::getenv("HOME");
    std::string base;
    if (home && *home) {
        base = home;
    } else if (const passwd* pw = getpwuid(getuid())) {
        base = pw->pw_dir;
    }
    return base + "/.config/zuvex910k";
}

std::string comPortsDir() {
    return configHomeDir() + "/ports";
}
