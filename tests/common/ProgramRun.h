#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <sys/types.h>

struct ProgramRun {
    int exitStatus = -1; // -1: it did not start or did not end normally
    QByteArray out;      // its stdout
    QByteArray err;      // its stderr
};

// A program started in `workDir`, the environment less `unset`, by posix_spawn, which
// ThreadSanitizer allows beside a simulator's thread. Its stdout goes to `stdoutPath` when
// given (such as /dev/full), else it is captured with its stderr.
class StartedProgram {
public:
    StartedProgram(const QString& program, const QStringList& args, const QString& workDir,
                   const QStringList& unset = {}, const QString& stdoutPath = {});
    bool started() const { return pid_ > 0; }
    void sendSignal(int signal) const;
    ProgramRun waitForEnd(); // its exit status -1 when a signal ended it

private:
    QTemporaryDir captured_; // stdout and stderr go to files: no pipe can fill up and block
    QString outPath_, errPath_;
    pid_t pid_ = -1;
};

// Runs `program` to its end (see StartedProgram).
ProgramRun runProgram(const QString& program, const QStringList& args, const QString& workDir,
                      const QStringList& unset = {}, const QString& stdoutPath = {});
