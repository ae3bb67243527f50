#pragma once

// The exit statuses of zuvex910k; scripts rely on them.
enum class TExitStatus {
    Done = 0,
    Different = 1,     // diff only: the configurations differ
    Usage = 2,         // wrong usage, or a confirmation (--yes) is missing
    NoDevice = 3,      // no telephone system found
    DeviceFault = 4,   // the telephone system answered wrongly or not in time
    FileFault = 5,     // a file could not be read or written, or the output was lost
    Interrupted = 130, // Ctrl+C (128 + SIGINT, as a shell reports it)
    Terminated = 143,  // SIGTERM (128 + SIGTERM)
};

inline int exitCode(TExitStatus status) {
    return static_cast<int>(status);
}
