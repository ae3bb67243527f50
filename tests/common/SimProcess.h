#pragma once

#include "serial/ConfigHome.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTest>
#include <csignal>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

// zuvex-sim on COM<port> as its own process, so SIGKILL pulls the plug as a user does.
// Started with posix_spawn, which ThreadSanitizer allows in a process with threads (fork not).
class SimProcess {
public:
    // Waits until its entry is live.
    SimProcess(int port, const QStringList& options = {}) {
        const QString entry =
            QString::fromStdString(comPortsDir()) + QStringLiteral("/COM%1").arg(port);
        QFile::remove(entry); // the entry of a killed simulator is left behind
        std::vector<std::string> args{ZUVEX_SIM_EXE, "--port", std::to_string(port)};
        for (const QString& option : options)
            args.push_back(option.toStdString());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, ZUVEX_SIM_EXE, nullptr, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
            return;
        }
        // live: a link to a pseudo-terminal that is there
        auto live = [&] { return QFileInfo::exists(entry); };
        auto ended = [&] { return waitpid(pid_, nullptr, WNOHANG) != 0; };
        bool gone = false;
        (void)QTest::qWaitFor([&] { return live() || (gone = ended()); }, 5000);
        if (gone)
            pid_ = -1;
        else if (live())
            device_ = QFileInfo(entry).symLinkTarget().toStdString();
    }
    ~SimProcess() { end(SIGTERM); } // if still running
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool ready() const { return !device_.empty(); }
    const std::string& device() const { return device_; } // its pseudo-terminal
    void kill() { end(SIGKILL); }

private:
    void end(int signal) {
        if (pid_ <= 0)
            return;
        ::kill(pid_, signal);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    pid_t pid_ = -1;
    std::string device_;
};
