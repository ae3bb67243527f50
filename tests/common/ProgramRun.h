#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct ProgramRun {
    int exitStatus = -1; // -1: it did not start or did not end normally
    QByteArray out;      // its stdout
    QByteArray err;      // its stderr
};

// Runs `program` in `workDir` to its end, the environment less `unset`; by posix_spawn, which
// ThreadSanitizer allows beside a simulator's thread.
ProgramRun runProgram(const QString& program, const QStringList& args, const QString& workDir,
                      const QStringList& unset = {});
