#pragma once

#include <functional>
#include <sys/wait.h>
#include <unistd.h>

// Runs `work` in a child process; returns its exit status, or minus the signal that ended it.
inline int inChild(const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(work());
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}
