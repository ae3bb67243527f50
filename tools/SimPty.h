#pragma once

#include <string>

namespace zuvexsim {

// A pseudo-terminal pair. The simulator keeps the slave side open itself, so the master
// never sees a hang-up when the Configurator closes the port, and the raw line settings
// made here survive between the Configurator's opens.
struct PtyPair {
    int master = -1;
    int slave = -1;
    std::string slavePath;
};

PtyPair openPty();           // throws std::runtime_error
void closePty(PtyPair& pty); // closes what is open

// The entry COM<port> in `dir`, created as a symbolic link to `target` (replacing an old
// entry atomically; the folder is created when missing).
std::string publishPort(const std::string& dir, int port, const std::string& target);
// The same for an entry of any name, e.g. a Wine prefix's dosdevices/com3 (its folder is
// created when missing).
void publishPortAt(const std::string& entry, const std::string& target);
// Removes `entry` if it still points to `target` (another simulator may have taken it over).
void unpublishPort(const std::string& entry, const std::string& target);
std::string portEntryPath(const std::string& dir, int port);
// Creates `dir` and its parents when missing; throws std::runtime_error.
void makeDirs(const std::string& dir);

} // namespace zuvexsim
