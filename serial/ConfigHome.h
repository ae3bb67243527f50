#pragma once

#include <string>

// Where the program keeps its own files: $XDG_CONFIG_HOME/zuvex910k, or
// ~/.config/zuvex910k when XDG_CONFIG_HOME is unset, empty or relative. No trailing '/'.
std::string configHomeDir();

// The folder whose entries COM1 ... COM20 name the serial devices.
std::string comPortsDir();
