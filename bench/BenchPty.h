#pragma once

#include "tools/SimPty.h"

#include <QByteArray>
#include <string>

// The benchmarks' pseudo-terminal pair, on the simulator's pty functions: the port under
// measurement opens the slave (through a COMn entry), the benchmark plays the device on the
// master.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return pty_.master >= 0; }
    const std::string& slavePath() const { return pty_.slavePath; }
    bool write(const QByteArray& bytes);

private:
    zuvexsim::PtyPair pty_;
};

// Publishes `path` as COM`number` in the program's ports folder.
bool linkComPort(int number, const std::string& path);
