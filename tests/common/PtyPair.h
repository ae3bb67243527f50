#pragma once

#include "SimClient.h"

#include <string>

// The port under test opens the slave via a COMn link; the test plays the device on the master.
class PtyPair : public SimClient {
public:
    PtyPair(); // QFAIL-free: check ok()

    bool ok() const { return isOpen(); }
    const std::string& slavePath() const { return slavePath_; }
    int master() const { return fd_; }

private:
    std::string slavePath_;
};

// Publishes `path` as COM`number` in the ports folder (replacing an older entry).
bool linkComPort(int number, const std::string& path);
