#pragma once

#include <QStringList>
#include <string>
#include <sys/types.h>

// zuvex-sim as a process of its own, published as COM<port> in the current settings home, so
// that a test can pull the plug on it with SIGKILL as a user pulls out the adapter. Started
// with posix_spawn, which ThreadSanitizer allows in a process with threads (a fork it does not).
class SimProcess {
public:
    SimProcess(int port, const QStringList& options = {}); // waits until its entry is live
    ~SimProcess();                                         // SIGTERM, if still running
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool ready() const { return !device_.empty(); }
    const std::string& device() const { return device_; } // its pseudo-terminal
    void kill();                                          // SIGKILL

private:
    void end(int signal);

    pid_t pid_ = -1;
    std::string device_;
};
