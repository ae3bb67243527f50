#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What a program run as a process of its own left behind.
struct ProgramRun {
    int exitStatus = -1; // -1: it did not start or did not end normally
    QByteArray out;      // its stdout
    QByteArray err;      // its stderr
};

// Runs `program` with `args` in `workDir` until it ends, with this process's environment less
// the variables named in `unset` (a user's shell without a display: "DISPLAY", ...). Started
// with posix_spawn, which ThreadSanitizer allows beside a simulator's thread.
ProgramRun runProgram(const QString& program, const QStringList& args, const QString& workDir,
                      const QStringList& unset = {});
