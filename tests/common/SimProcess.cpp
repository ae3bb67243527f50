#include "SimProcess.h"

#include "serial/ConfigHome.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

SimProcess::SimProcess(int port, const QStringList& options) {
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
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (waitpid(pid_, nullptr, WNOHANG) != 0) { // it ended already
            pid_ = -1;
            return;
        }
        const QFileInfo link(entry);
        if (link.exists()) { // a link to a pseudo-terminal that is there
            device_ = link.symLinkTarget().toStdString();
            return;
        }
        QThread::msleep(10);
    }
}

SimProcess::~SimProcess() {
    end(SIGTERM);
}

void SimProcess::kill() {
    end(SIGKILL);
}

void SimProcess::end(int signal) {
    if (pid_ <= 0)
        return;
    ::kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}
