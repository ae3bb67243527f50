#pragma once

#include <string>

// The new content of a file on its way in: a file in the target's folder that has no name yet
// (O_TMPFILE) or a name of our own pattern, locked while it is in use, so that a crash leaves
// nothing behind or a name that the next save recognises as left over and removes.
class TSaveTemporary {
public:
    // Creates it in the folder `dirFd` with the permission bits `mode`; check valid().
    TSaveTemporary(int dirFd, unsigned mode);
    ~TSaveTemporary(); // closes it and removes its name, unless it was moved over a target
    TSaveTemporary(const TSaveTemporary&) = delete;
    TSaveTemporary& operator=(const TSaveTemporary&) = delete;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Puts the file in the place of `name` in one step (an existing file there is replaced).
    bool replace(const char* name);

private:
    bool giveName();

    int dirFd_;
    int fd_ = -1;
    std::string name_; // empty while the file has no name
};

// Removes files of our temporary pattern in `dirFd` that no running save holds: what a save
// killed half-way left behind.
void RemoveStaleTemporaries(int dirFd);
