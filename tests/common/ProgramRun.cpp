#include "ProgramRun.h"

#include "TestHome.h"

#include <QDir>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {
std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> list;
    for (std::string& s : strings)
        list.push_back(s.data());
    list.push_back(nullptr);
    return list;
}
} // namespace

StartedProgram::StartedProgram(const QString& program, const QStringList& args,
                               const QString& workDir, const QStringList& unset,
                               const QString& stdoutPath)
    : outPath_(stdoutPath.isEmpty() ? captured_.filePath(QStringLiteral("out")) : stdoutPath),
      errPath_(captured_.filePath(QStringLiteral("err"))) {
    std::vector<std::string> argStrings{program.toStdString()};
    for (const QString& arg : args)
        argStrings.push_back(arg.toStdString());
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        const QString entry = QString::fromLocal8Bit(*e);
        if (!unset.contains(entry.section(QLatin1Char('='), 0, 0)))
            envStrings.emplace_back(*e);
    }
    std::vector<char*> argv = pointers(argStrings);
    std::vector<char*> envp = pointers(envStrings);

    const std::string out = outPath_.toStdString();
    const std::string err = errPath_.toStdString();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string dir = workDir.toStdString();
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
}

void StartedProgram::sendSignal(int signal) const {
    if (pid_ > 0)
        ::kill(pid_, signal);
}

ProgramRun StartedProgram::waitForEnd() {
    ProgramRun run;
    if (pid_ <= 0)
        return run;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (WIFEXITED(status))
        run.exitStatus = WEXITSTATUS(status);
    if (outPath_.startsWith(captured_.path())) // a given file such as /dev/full is not read
        run.out = fileBytes(outPath_);
    run.err = fileBytes(errPath_);
    return run;
}

ProgramRun runProgram(const QString& program, const QStringList& args, const QString& workDir,
                      const QStringList& unset, const QString& stdoutPath) {
    return StartedProgram(program, args, workDir, unset, stdoutPath).waitForEnd();
}
