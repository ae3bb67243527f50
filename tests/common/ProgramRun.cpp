#include "ProgramRun.h"

#include "TestHome.h"

#include <QDir>
#include <cerrno>
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

ProgramRun runProgram(const QString& program, const QStringList& args, const QString& workDir,
                      const QStringList& unset) {
    ProgramRun run;
    QTemporaryDir captured; // stdout and stderr go to files: no pipe can fill up and block
    const std::string outPath = QDir(captured.path()).filePath(QStringLiteral("out")).toStdString();
    const std::string errPath = QDir(captured.path()).filePath(QStringLiteral("err")).toStdString();

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

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    const std::string dir = workDir.toStdString();
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        run.exitStatus = WEXITSTATUS(status);
    run.out = fileBytes(QString::fromStdString(outPath));
    run.err = fileBytes(QString::fromStdString(errPath));
    return run;
}
