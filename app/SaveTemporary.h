#pragma once

#include <string>

// The new content of a file on its way in: a file in the target's folder that has no name yet
// (O_TMPFILE; where the file system has none, named at once), locked while it is in use. It
// gets a name only for the rename over the target:
// "." + the target's name + ".zuvex-" + a checksum of that name + "-" + its own inode number,
// so that a save killed between naming and renaming leaves a file that the next save of that
// target recognises as its own and removes.
class TSaveTemporary {
public:
    // Creates it for the file `target` in the folder `dirFd` with the permission bits `mode`;
    // check valid().
    TSaveTemporary(int dirFd, const std::string& target, unsigned mode);
    ~TSaveTemporary(); // closes it and removes its name, unless it was moved over a target
    TSaveTemporary(const TSaveTemporary&) = delete;
    TSaveTemporary& operator=(const TSaveTemporary&) = delete;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // The errno of the step that failed: the creation, or the naming or rename of replace().
    int error() const { return error_; }
    // Puts the file in the place of the target in one step with `rename` (renameat(2) or a
    // test's stand-in); the old file there is replaced.
    bool replace(int (*rename)(int, const char*, int, const char*));

private:
    bool giveName();
    bool createNamed(unsigned mode);

    int dirFd_;
    std::string target_;
    int fd_ = -1;
    int error_ = 0;
    std::string name_; // empty while the file has no name
};

// Removes the temporaries of `target` in `dirFd` that no running save holds: what a save of it
// killed half-way left behind. A file is ours only if its name ends in its own inode number.
void RemoveStaleTemporaries(int dirFd, const std::string& target);
