#pragma once

#include <QProcess>
#include <QStringList>
#include <string>

// zuvex-sim as a process of its own, published as COM<port> in the current settings home, so
// that a test can pull the plug on it with SIGKILL as a user pulls out the adapter.
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
    QProcess process_;
    std::string device_;
};
